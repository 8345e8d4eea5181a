// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "platform/DialogService.h"

// The real dialogs: QMessageBox, QFileDialog and the SO PIN input dialog.
class WidgetDialogs : public DialogService
{
public:
    QString openFileName(QWidget* owner, const FileDialogOptions& options) override;
    QString saveFileName(QWidget* owner, const FileDialogOptions& options) override;
    QString soPinInput(QWidget* owner, const QString& caption, const QString& prompt, const QString& initial,
                       const QString& okText, const QString& cancelText) override;

protected:
    bool showMessage(QWidget* owner, Icon icon, const QString& title, const QString& text,
                     bool topMost) override;
};
