// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QList>
#include <QString>

class QWidget;

// Message boxes, file dialogs and the SO PIN input go through this one service so that tests can
// replace it with a scripted fake. The caller gives every text, the box's title included (the tool's
// pages use ui/Messages, which adds the catalog title).
class DialogService
{
public:
    enum class Icon
    {
        Information,
        Question
    };

    struct FileDialogOptions
    {
        QString caption;
        QString filter;        // Qt form, "Name (*.a *.b)"; see qtFilter()
        QString defaultSuffix; // without the dot
        QString fileName;      // proposed name or start directory
        bool confirmOverwrite = true;
    };

    virtual ~DialogService();

    // The service in use: the installed one, else the real dialogs.
    static DialogService& instance();
    // Installs a replacement (nullptr restores the real dialogs); the caller keeps ownership.
    static void install(DialogService* service);

    // Information icon, OK button. A null owner means the application's active window.
    void information(QWidget* owner, const QString& title, const QString& text);
    // Question icon, Yes and No buttons; true only for Yes.
    bool question(QWidget* owner, const QString& title, const QString& text, bool topMost = false);

    // The chosen file, or an empty string when cancelled.
    virtual QString openFileName(QWidget* owner, const FileDialogOptions& options) = 0;
    virtual QString saveFileName(QWidget* owner, const FileDialogOptions& options) = 0;

    // Modal masked input; returns the entered text, or `initial` when cancelled.
    virtual QString soPinInput(QWidget* owner, const QString& caption, const QString& prompt,
                               const QString& initial, const QString& okText, const QString& cancelText) = 0;

    // Turns a Windows filter string ("Cert file|*.pfx;*.p12|All|*.*") into Qt's form
    // ("Cert file (*.pfx *.p12);;All (*.*)").
    static QString qtFilter(const QString& windowsFilter);

protected:
    // Shows one box; returns true when the user answered Yes (questions) or OK (information).
    virtual bool showMessage(QWidget* owner, Icon icon, const QString& title, const QString& text,
                             bool topMost) = 0;
};
