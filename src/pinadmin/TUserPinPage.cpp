// SPDX-License-Identifier: BSD-3-Clause
#include "TUserPinPage.h"

#include "i18n/ResStrs.h"
#include "platform/ActionUpdater.h"
#include "token/CerMgrApis.h"
#include "token/SecretBuffer.h"
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

TUserPinPage::TUserPinPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet2"));

    auto* box = group(this, "RzGroupBox1");
    auto* form = formIn(this, box);
    m_edtOldUPin = edit(box, "edtOldUPin", 16, true);
    m_edtNewUPin1 = edit(box, "edtNewUPin1", 16, true);
    m_edtNewUPin2 = edit(box, "edtNewUPin2", 16, true);
    addRow(form, label(box, "Label2"), m_edtOldUPin);
    addRow(form, label(box, "Label3"), m_edtNewUPin1);
    addRow(form, label(box, "Label4"), m_edtNewUPin2);
    m_setUserPin = action(this, "AcSetUserPIN");
    addButtons(form, {button(box, "btnOK", m_setUserPin)});

    connect(m_setUserPin, &QAction::triggered, this, &TUserPinPage::changeUserPin);
    // Enter in the confirmation runs the change even while the action is disabled, so a new PIN that
    // is too short still hears why.
    connect(m_edtNewUPin2, &QLineEdit::returnPressed, this, &TUserPinPage::changeUserPin);
    ActionUpdater::instance().add(m_setUserPin, [this] { return changeAllowed(); });
}

bool TUserPinPage::changeAllowed() const
{
    TTokenSession* token = session();
    if (!token)
        return false;
    const qint32 minLength = token->info().MinPinLen;
    return m_edtOldUPin->text().size() >= minLength && m_edtNewUPin1->text().size() >= minLength &&
           m_edtNewUPin2->text().size() >= minLength;
}

void TUserPinPage::changeUserPin()
{
    TTokenSession* token = presentSession();
    if (!token)
        return;
    const int slot = token->slot();
    QWidget* owner = window();
    const TQ7Info& info = token->info();
    if (info.Initialized == 0) {
        Messages::information(owner, ResStrs::text("Init_Info"));
        return;
    }
    CerMgrApis::ReadPinState(slot, PinType::User, token->pinState());
    if (token->pinState().Locked == 1) {
        Messages::information(owner, ResStrs::text("K_Dead"));
        return;
    }

    const QString oldPin = m_edtOldUPin->text();
    const QString newPin = m_edtNewUPin1->text();
    if (newPin != m_edtNewUPin2->text()) {
        Messages::information(owner, ResStrs::text("S_PIN_equal"));
        return;
    }
    // The token counts the bytes it is given, so a non-ASCII character counts as its encoded length.
    const qsizetype newLength = SecretBuffer(newPin).size();
    if (newLength < info.MinPinLen || newLength > info.MaxPinLen) {
        Messages::information(owner, QStringLiteral("%1(%2--%3)")
                                         .arg(ResStrs::text("UPIN_E2"))
                                         .arg(info.MinPinLen)
                                         .arg(info.MaxPinLen));
        return;
    }

    CerMgrApis::LogoutToken(slot);
    token->setLogin(TTokenSession::Login::Found);
    qint32 retriesLeft = 0;
    quint32 status = CerMgrApis::LoginUser(slot, oldPin, retriesLeft);
    if (status != 0) {
        const QString verdict = oldPinVerdict(status, retriesLeft);
        Messages::information(owner, verdict.isEmpty() ? ResStrs::format("P_FormatError", status) : verdict);
        return;
    }
    CerMgrApis::LogoutToken(slot);
    token->setLogin(TTokenSession::Login::Found);

    const quint32 changed = CerMgrApis::ChangeUserPin(slot, oldPin, newPin);
    if (changed == 0) {
        Messages::information(owner, ResStrs::text("K_Set_Yes"));
        m_edtOldUPin->clear();
        m_edtNewUPin1->clear();
        m_edtNewUPin2->clear();
        return;
    }

    // Logging in with the old PIN again tells a PIN the token no longer takes from a refused change.
    status = CerMgrApis::LoginUser(slot, oldPin, retriesLeft);
    const QString verdict = status != 0 ? oldPinVerdict(status, retriesLeft) : QString();
    Messages::information(owner, verdict.isEmpty() ? changeFailure(changed) : verdict);
}

QString TUserPinPage::oldPinVerdict(quint32 status, qint32 retriesLeft)
{
    if (retriesLeft > 0)
        return ResStrs::format("K_OldCheck", retriesLeft);
    if (status == TokenStatus::PinIncorrect && retriesLeft == TokenStatus::RetriesUnknown)
        return ResStrs::text("K_PIN_Error"); // wrong, with the tries left untold
    if (status == TokenStatus::PinIncorrect || status == TokenStatus::PinLocked)
        return ResStrs::text("K_Dead");
    // The token gave no verdict on the PIN (pulled out, failing): calling it locked would be wrong.
    return {};
}

QString TUserPinPage::changeFailure(quint32 status)
{
    return ResStrs::text("K_Set_No") + ResStrs::text("K_ErrorCODE_Str") + QStringLiteral(" = 0x") +
           QStringLiteral("%1").arg(status, 8, 16, QLatin1Char('0')).toUpper();
}
