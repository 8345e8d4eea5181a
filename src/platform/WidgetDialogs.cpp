// SPDX-License-Identifier: BSD-3-Clause
#include "WidgetDialogs.h"

#include "platform/SoPinInputDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace {
QWidget* ownerOrActive(QWidget* owner)
{
    return owner ? owner : QApplication::activeWindow();
}
} // namespace

QString WidgetDialogs::openFileName(QWidget* owner, const FileDialogOptions& options)
{
    QFileDialog dialog(ownerOrActive(owner), options.caption, options.fileName, options.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!options.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(options.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString WidgetDialogs::saveFileName(QWidget* owner, const FileDialogOptions& options)
{
    QFileDialog dialog(ownerOrActive(owner), options.caption, options.fileName, options.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
    if (!options.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(options.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString WidgetDialogs::soPinInput(QWidget* owner, const QString& caption, const QString& prompt,
                                  const QString& initial, const QString& okText, const QString& cancelText)
{
    SoPinInputDialog dialog(ownerOrActive(owner), caption, prompt, initial, okText, cancelText);
    if (dialog.exec() != QDialog::Accepted)
        return initial;
    return dialog.text();
}

bool WidgetDialogs::showMessage(QWidget* owner, Icon icon, const QString& title, const QString& text,
                                bool topMost)
{
    const bool isQuestion = icon == Icon::Question;
    QMessageBox box(isQuestion ? QMessageBox::Question : QMessageBox::Information, title, text,
                    isQuestion ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                    ownerOrActive(owner));
    if (topMost)
        box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    const int result = box.exec();
    return isQuestion ? result == QMessageBox::Yes : true;
}
