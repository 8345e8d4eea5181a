// SPDX-License-Identifier: BSD-3-Clause
#include "TSoLoginPage.h"

#include "i18n/ResStrs.h"
#include "pinadmin/LoginVerdict.h"
#include "platform/ActionUpdater.h"
#include "skf/TSkfBinding.h"
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

namespace {
// The administrator login asks for more than three characters whatever the token's limits.
constexpr int MinSoLoginLength = 4;
} // namespace

TSoLoginPage::TSoLoginPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet18"));

    auto* box = group(this, "RzGroupBox7");
    auto* form = formIn(this, box);
    m_lFingerKeyName = nameLabel(box, "LFingerKeyName");
    addRow(form, nullptr, label(box, "Label12"));
    addRow(form, nullptr, m_lFingerKeyName);
    auto* count = label(box, "Label9");
    count->hide();
    m_edtFingerSPIN = edit(box, "edtFingerSPIN", 16, true);
    addRow(form, label(box, "RzLabel2", QStringLiteral("SO PIN:")), m_edtFingerSPIN, count);

    auto* cancel = action(this, "AcFingerLoginCancel");
    // The page's cancel button answers Esc anywhere on the page.
    cancel->setShortcut(Qt::Key_Escape);
    cancel->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(cancel);
    m_login = action(this, "AcFinger_SOPIN_Login");
    addButtons(form, {button(box, "RzButton2", m_login), button(box, "RzButton4", cancel),
                      button(box, "Button21", action(this, "AcFinger_SOPINFinger_Login"))});

    connect(m_login, &QAction::triggered, this, &TSoLoginPage::loginWithSoPin);
    connect(m_edtFingerSPIN, &QLineEdit::returnPressed, this, &TSoLoginPage::loginWithSoPin);
    connect(cancel, &QAction::triggered, m_edtFingerSPIN, &QLineEdit::clear);
    connect(m_edtFingerSPIN, &QLineEdit::textChanged, count,
            [count](const QString& text) { count->setText(QString::number(text.size())); });
    ActionUpdater::instance().add(m_login,
                                  [this] { return m_edtFingerSPIN->text().size() >= MinSoLoginLength; });
}

void TSoLoginPage::setKeyName(const QString& label)
{
    m_lFingerKeyName->setText(label);
}

void TSoLoginPage::loginWithSoPin()
{
    TTokenSession* token = presentSession();
    if (!token)
        return;
    const int slot = token->slot();
    QWidget* owner = window();
    if (token->info().Initialized == 0) {
        Messages::information(owner, ResStrs::text("Init_Info"));
        return;
    }
    CerMgrApis::ReadPinState(slot, PinType::So, token->pinState());
    if (token->pinState().Locked == 1) {
        Messages::information(owner, ResStrs::text("K_Dead"));
        return;
    }

    // The administrator starts from nobody: the user's login and the device's authentication end.
    token->logout();
    const QString soPin = m_edtFingerSPIN->text();
    qint32 retries = 0;
    quint32 status = 0;
    // A token with a fingerprint application of its own checks the SO PIN there first (another
    // token's application would check the wrong PIN); the token library's SO login follows, so the
    // administrator holds the token on both sides. Without one, the token library alone decides.
    if (const HAPPLICATION application = token->application()) {
        uint32_t skfRetries = 0;
        status = token->skf()->VerifyPIN(application, SKF_ADMIN_TYPE, soPin, &skfRetries);
        retries = qint32(qMin<uint32_t>(skfRetries, INT32_MAX));
    }
    if (status == 0)
        status = CerMgrApis::LoginSO(slot, soPin, retries);
    if (status == 0) {
        // The administrator now holds that token; its user counts as not logged in from here on.
        token->setLogin(TTokenSession::Login::AdminBySoPin);
        Messages::information(owner, ResStrs::text("F_Login_OK"));
        return;
    }
    // Nothing of a half-done login stays behind.
    token->logout();
    Messages::information(owner, LoginVerdict(status, retries));
}
