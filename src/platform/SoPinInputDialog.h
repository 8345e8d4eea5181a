// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QDialog>

class QLineEdit;

// A one-question modal dialog with a masked entry field, laid out in dialog units of its own font.
class SoPinInputDialog : public QDialog
{
    Q_OBJECT
public:
    SoPinInputDialog(QWidget* owner, const QString& caption, const QString& prompt, const QString& initial,
                     const QString& okText, const QString& cancelText);
    ~SoPinInputDialog() override;

    QString text() const;

private:
    QLineEdit* m_edit = nullptr;
};
