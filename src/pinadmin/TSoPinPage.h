// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "ui/TPage.h"

class QAction;
class QLineEdit;
struct TProgramState;

// Change the SO PIN.
class TSoPinPage : public TPage
{
    Q_OBJECT
public:
    explicit TSoPinPage(TProgramState& state, QWidget* parent = nullptr);

    QAction* setSoPinAction() const { return m_setSoPin; }

public Q_SLOTS:
    // Changes the current token's SO PIN; runs whether or not the action is enabled.
    void changeSoPin();

private:
    bool changeAllowed() const;

    QLineEdit* m_edtSPIN;
    QLineEdit* m_edtNewSPIN1;
    QLineEdit* m_edtNewSPIN2;
    QAction* m_setSoPin;
};
