// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "ui/TPage.h"

class QAction;
class QLabel;
class QLineEdit;
struct TProgramState;

// Give the token a new label.
class TKeyLabelPage : public TPage
{
    Q_OBJECT
public:
    // The label field of the token takes this many bytes of UTF-8.
    static constexpr qsizetype MaxLabelBytes = 31;

    explicit TKeyLabelPage(TProgramState& state, QWidget* parent = nullptr);

    // The navigation offers the token's present label for editing.
    void setKeyName(const QString& label);
    QLineEdit* keyNameEdit() const { return m_edtKeyName; }
    QAction* setKeyNameAction() const { return m_setKeyName; }

public Q_SLOTS:
    // Writes the trimmed label to the current token.
    void changeKeyName();

Q_SIGNALS:
    // The token in `token` now carries `label`, and its cached record says so: the window renames the
    // token's node in the navigation tree.
    void labelChanged(int token, const QString& label);

private:
    QLineEdit* m_edtKeyName;
    QAction* m_setKeyName;
    QLabel* m_hint;
};
