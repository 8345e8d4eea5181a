// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "ui/TPage.h"

class QAction;
class QLineEdit;
struct TProgramState;

// Unlock the user PIN by setting a new one with the SO PIN.
class TUnlockPage : public TPage
{
    Q_OBJECT
public:
    explicit TUnlockPage(TProgramState& state, QWidget* parent = nullptr);

    QAction* unlockAction() const { return m_unlock; }

public Q_SLOTS:
    // Sets the current token's user PIN with the SO PIN; runs whether or not the action is enabled.
    void unlock();

private:
    bool unlockAllowed() const;

    QLineEdit* m_edtSPINForUnLock;
    QLineEdit* m_edtUPINForUnlock1;
    QLineEdit* m_edtUPINForUnlock2;
    QAction* m_unlock;
};
