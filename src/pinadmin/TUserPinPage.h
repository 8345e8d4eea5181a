// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "ui/TPage.h"

class QAction;
class QLineEdit;
struct TProgramState;

// Change the user PIN, knowing the old one.
class TUserPinPage : public TPage
{
    Q_OBJECT
public:
    explicit TUserPinPage(TProgramState& state, QWidget* parent = nullptr);

    QAction* setUserPinAction() const { return m_setUserPin; }

public Q_SLOTS:
    // Changes the current token's user PIN; runs whether or not the action is enabled.
    void changeUserPin();

private:
    bool changeAllowed() const;
    // What a failed login with the old PIN says about it: locked or its tries left; empty when the
    // token gave no verdict on the PIN.
    static QString oldPinVerdict(quint32 status, qint32 retriesLeft);
    static QString changeFailure(quint32 status);

    QLineEdit* m_edtOldUPin;
    QLineEdit* m_edtNewUPin1;
    QLineEdit* m_edtNewUPin2;
    QAction* m_setUserPin;
};
