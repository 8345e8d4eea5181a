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
    // Login by fingerprint, offered only while the fingerprint side is on.
    QAction* fingerLogonAction() const { return m_fingerLogon; }

private:
    QLabel* m_lkeyname;
    QLineEdit* m_edtUPIN;
    QAction* m_fingerLogon = nullptr;
};
