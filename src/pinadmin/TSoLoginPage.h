// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "ui/TPage.h"

class QAction;
class QLabel;
class QLineEdit;
struct TProgramState;

// Administrator login with the SO PIN (or by fingerprint) for the fingerprint
// administration.
class TSoLoginPage : public TPage
{
    Q_OBJECT
public:
    explicit TSoLoginPage(TProgramState& state, QWidget* parent = nullptr);

    // The label of the token the administrator is about to log in to.
    void setKeyName(const QString& label);
    QAction* soPinLoginAction() const { return m_login; }

public Q_SLOTS:
    // Verifies the SO PIN on the current SKF application; runs whether or not the action is enabled.
    void loginWithSoPin();

private:
    QLabel* m_lFingerKeyName;
    QLineEdit* m_edtFingerSPIN;
    QAction* m_login;
};
