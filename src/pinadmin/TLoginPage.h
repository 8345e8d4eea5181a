// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "ui/TPage.h"

class QAction;
class QLabel;
class QLineEdit;
struct TProgramState;

// User login with the user PIN (or, on tokens with a sensor, by fingerprint).
class TLoginPage : public TPage
{
    Q_OBJECT
public:
    explicit TLoginPage(TProgramState& state, QWidget* parent = nullptr);

    // The label of the token the user is about to log in to.
    void setKeyName(const QString& label);
    QLineEdit* pinEdit() const { return m_edtUPIN; }
    QAction* loginAction() const { return m_login; }
    // Login by fingerprint, offered only while the fingerprint side is on.
    QAction* fingerLogonAction() const { return m_fingerLogon; }

public Q_SLOTS:
    // Logs the current token in with the PIN typed; runs whether or not the action is enabled.
    void login();
    // Empties the PIN field, so that nobody finds the last PIN still typed there.
    void clearPin();

Q_SIGNALS:
    // A login succeeded: the token's objects are reloaded and its login state is 2.
    void loggedIn();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool loginAllowed() const;
    void reportFailure(quint32 status, qint32 retriesLeft);

    QLabel* m_lkeyname;
    QLineEdit* m_edtUPIN;
    QLabel* m_label10;
    QAction* m_login;
    QAction* m_fingerLogon;
};
