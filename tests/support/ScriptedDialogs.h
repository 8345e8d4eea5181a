// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "platform/DialogService.h"

#include <QList>
#include <QPointer>
#include <QQueue>
#include <QStringList>
#include <QWidget>

// Stands in for the real dialogs while it lives: answers from queues, records everything shown.
// An unqueued question is answered No, an unqueued file dialog is cancelled and an unqueued SO PIN
// input is cancelled (it returns the initial text).
class ScriptedDialogs : public DialogService
{
public:
    struct Message
    {
        Icon icon;
        QString title;
        QString text;
        QPointer<QWidget> owner;
        QWidget* ownerAtShow; // the raw owner, for comparison after the owner is gone
        bool topMost;
    };
    struct FileRequest
    {
        bool save;
        FileDialogOptions options;
        QWidget* owner;
    };
    struct SoPinRequest
    {
        QString caption;
        QString prompt;
        QString initial;
        QWidget* owner;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    void setNextAnswer(bool yes);
    void setNextFileName(const QString& fileName); // empty: cancel
    void setNextSoPin(const QString& pin);

    const QList<Message>& messages() const { return m_messages; }
    QStringList texts() const;
    QString lastText() const;
    const QList<FileRequest>& fileRequests() const { return m_fileRequests; }
    const QList<SoPinRequest>& soPinRequests() const { return m_soPinRequests; }
    void clear();

    QString openFileName(QWidget* owner, const FileDialogOptions& options) override;
    QString saveFileName(QWidget* owner, const FileDialogOptions& options) override;
    QString soPinInput(QWidget* owner, const QString& caption, const QString& prompt, const QString& initial,
                       const QString& okText, const QString& cancelText) override;

protected:
    bool showMessage(QWidget* owner, Icon icon, const QString& title, const QString& text,
                     bool topMost) override;

private:
    QList<Message> m_messages;
    QList<FileRequest> m_fileRequests;
    QList<SoPinRequest> m_soPinRequests;
    QQueue<bool> m_answers;
    QQueue<QString> m_fileNames;
    QQueue<QString> m_soPins;
};
