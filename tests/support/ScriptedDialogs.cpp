// SPDX-License-Identifier: BSD-3-Clause
#include "ScriptedDialogs.h"

ScriptedDialogs::ScriptedDialogs()
{
    DialogService::install(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    DialogService::install(nullptr);
}

void ScriptedDialogs::setNextAnswer(bool yes)
{
    m_answers.enqueue(yes);
}

void ScriptedDialogs::setNextFileName(const QString& fileName)
{
    m_fileNames.enqueue(fileName);
}

void ScriptedDialogs::setNextSoPin(const QString& pin)
{
    m_soPins.enqueue(pin);
}

QStringList ScriptedDialogs::texts() const
{
    QStringList list;
    for (const Message& m : m_messages)
        list << m.text;
    return list;
}

QString ScriptedDialogs::lastText() const
{
    return m_messages.isEmpty() ? QString() : m_messages.constLast().text;
}

void ScriptedDialogs::clear()
{
    m_messages.clear();
    m_fileRequests.clear();
    m_soPinRequests.clear();
    m_answers.clear();
    m_fileNames.clear();
    m_soPins.clear();
}

QString ScriptedDialogs::openFileName(QWidget* owner, const FileDialogOptions& options)
{
    m_fileRequests.append({false, options, owner});
    return m_fileNames.isEmpty() ? QString() : m_fileNames.dequeue();
}

QString ScriptedDialogs::saveFileName(QWidget* owner, const FileDialogOptions& options)
{
    m_fileRequests.append({true, options, owner});
    return m_fileNames.isEmpty() ? QString() : m_fileNames.dequeue();
}

QString ScriptedDialogs::soPinInput(QWidget* owner, const QString& caption, const QString& prompt,
                                    const QString& initial, const QString& /*okText*/,
                                    const QString& /*cancelText*/)
{
    m_soPinRequests.append({caption, prompt, initial, owner});
    return m_soPins.isEmpty() ? initial : m_soPins.dequeue();
}

bool ScriptedDialogs::showMessage(QWidget* owner, Icon icon, const QString& title, const QString& text,
                                  bool topMost)
{
    m_messages.append({icon, title, text, owner, owner, topMost});
    if (icon != Icon::Question)
        return true;
    return m_answers.isEmpty() ? false : m_answers.dequeue();
}
