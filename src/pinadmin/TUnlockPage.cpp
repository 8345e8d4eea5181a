// SPDX-License-Identifier: BSD-3-Clause
#include "TUnlockPage.h"

#include "i18n/ResStrs.h"
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

TUnlockPage::TUnlockPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet10"));

    auto* box = group(this, "RzGroupBox5");
    auto* form = formIn(this, box);
    m_edtSPINForUnLock = edit(box, "edtSPINForUnLock", 16, true);
    m_edtUPINForUnlock1 = edit(box, "edtUPINForUnlock1", 16, true);
    m_edtUPINForUnlock2 = edit(box, "edtUPINForUnlock2", 16, true);
    addRow(form, label(box, "LAdmin_SOPIN"), m_edtSPINForUnLock);
    addRow(form, label(box, "LAdmin_New_UPIN1"), m_edtUPINForUnlock1);
    addRow(form, label(box, "LAdmin_New_UPIN2"), m_edtUPINForUnlock2);
    m_unlock = action(this, "AcUnlock");
    addButtons(form, {button(box, "Button11", m_unlock)});

    connect(m_unlock, &QAction::triggered, this, &TUnlockPage::unlock);
    connect(m_edtUPINForUnlock2, &QLineEdit::returnPressed, this, &TUnlockPage::unlock);
    ActionUpdater::instance().add(m_unlock, [this] { return unlockAllowed(); });
}

bool TUnlockPage::unlockAllowed() const
{
    TTokenSession* token = session();
    if (!token)
        return false;
    const TQ7Info& info = token->info();
    return m_edtSPINForUnLock->text().size() >= info.MinSoPinLen &&
           m_edtUPINForUnlock1->text().size() >= info.MinPinLen &&
           m_edtUPINForUnlock2->text().size() >= info.MinPinLen;
}

void TUnlockPage::unlock()
{
    TTokenSession* token = presentSession();
    if (!token)
        return;
    const int slot = token->slot();
    QWidget* owner = window();
    if (m_edtUPINForUnlock1->text() != m_edtUPINForUnlock2->text()) {
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

    CerMgrApis::LogoutToken(slot);
    token->setLogin(TTokenSession::Login::Found);
    const QString soPin = m_edtSPINForUnLock->text();
    if (CerMgrApis::ResetUserPin(slot, soPin, m_edtUPINForUnlock1->text()) == 0) {
        CerMgrApis::LogoutToken(slot);
        token->setLogin(TTokenSession::Login::Found);
        Messages::information(owner, ResStrs::text("Change_Yes"));
        return;
    }
    // A login with the same SO PIN tells a wrong SO PIN from a refused new user PIN.
    qint32 retriesLeft = 0;
    const bool soPinRight = CerMgrApis::LoginSO(slot, soPin, retriesLeft) == 0;
    if (soPinRight)
        CerMgrApis::LogoutToken(slot);
    Messages::information(owner, ResStrs::text(soPinRight ? "Change_No" : "SOPIN_Error"));
}
