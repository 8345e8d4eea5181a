// SPDX-License-Identifier: BSD-3-Clause
#include "TSoPinPage.h"

#include "i18n/ResStrs.h"
#include "pinadmin/SoPinVerdict.h"
#include "platform/ActionUpdater.h"
#include "token/CerMgrApis.h"
#include "ui/Messages.h"
#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

using namespace PageWidgets;

TSoPinPage::TSoPinPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet9"));

    auto* box = group(this, "RzGroupBox4");
    auto* form = formIn(this, box);
    m_edtSPIN = edit(box, "edtSPIN", 16, true);
    m_edtNewSPIN1 = edit(box, "edtNewSPIN1", 16, true);
    m_edtNewSPIN2 = edit(box, "edtNewSPIN2", 16, true);
    addRow(form, label(box, "LAdmin_Old_SOPIN"), m_edtSPIN);
    addRow(form, label(box, "LAdmin_New_SOPIN1"), m_edtNewSPIN1);
    addRow(form, label(box, "LAdmin_new_SOPIN2"), m_edtNewSPIN2);
    m_setSoPin = action(this, "AcSetSOPIN");
    addButtons(form, {button(box, "Button10", m_setSoPin)});

    connect(m_setSoPin, &QAction::triggered, this, &TSoPinPage::changeSoPin);
    connect(m_edtNewSPIN2, &QLineEdit::returnPressed, this, &TSoPinPage::changeSoPin);
    ActionUpdater::instance().add(m_setSoPin, [this] { return changeAllowed(); });
}

bool TSoPinPage::changeAllowed() const
{
    TTokenSession* token = session();
    if (!token)
        return false;
    // The new SO PIN is left to the token; only the current one and the confirmation are measured.
    const qint32 minLength = token->info().MinSoPinLen;
    return m_edtSPIN->text().size() >= minLength && m_edtNewSPIN2->text().size() >= minLength;
}

void TSoPinPage::changeSoPin()
{
    TTokenSession* token = presentSession();
    if (!token)
        return;
    const int slot = token->slot();
    QWidget* owner = window();
    if (m_edtNewSPIN1->text() != m_edtNewSPIN2->text()) {
        Messages::information(owner, ResStrs::text("S_PIN_equal"));
        return;
    }
    if (token->info().Initialized == 0) {
        Messages::information(owner, ResStrs::text("Init_Info"));
        return;
    }
    CerMgrApis::ReadPinState(slot, PinType::So, token->pinState());
    if (token->pinState().Locked == 1) {
        Messages::information(owner, ResStrs::text("K_Dead"));
        return;
    }

    const QString soPin = m_edtSPIN->text();
    qint32 retriesLeft = 0;
    if (CerMgrApis::LoginSO(slot, soPin, retriesLeft) != 0) {
        Messages::information(owner, SoPinVerdict(retriesLeft));
        return;
    }
    const quint32 status = CerMgrApis::ChangeSOPin(slot, soPin, m_edtNewSPIN1->text());
    if (status != 0) {
        Messages::information(owner, ResStrs::text("K_Set_No") + ResStrs::text("K_ErrorCODE_Str") +
                                         QStringLiteral(" 0x") +
                                         QStringLiteral("%1").arg(status, 8, 16, QLatin1Char('0')).toUpper());
        return;
    }
    CerMgrApis::LogoutToken(slot);
    token->setLogin(TTokenSession::Login::Found);
    Messages::information(owner, ResStrs::text("Change_Yes"));
}
