#include "TSoLoginPage.h"

#include "finger/TSkfBinding.h"
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
    const int slot = m_state.currentToken;
    if (slot < 0 || slot >= TProgramState::MaxTokens)
        return;
    QWidget* owner = window();
    if (m_state.TokenInfoTable[size_t(slot)].Initialized == 0) {
        Messages::information(owner, ResStrs::text("Init_Info"));
        return;
    }
    CerMgrApis::ReadPinState(slot, PinType::So, m_state.pinState);
    if (m_state.pinState.Locked == 1) {
        Messages::information(owner, ResStrs::text("K_Dead"));
        return;
    }

    if (!m_state.skf) {
        Messages::information(owner, ResStrs::text("Change_No"));
        return;
    }
    uint32_t retries = 0;
    // The selected token's own fingerprint application: another token's would check the wrong PIN.
    const HAPPLICATION application =
        m_state.skf->TokenApplication(m_state.TokenInfoTable[size_t(slot)].SerialNumber.toLocal8Bit());
    const uint32_t status = m_state.skf->VerifyPIN(application, 0, m_edtFingerSPIN->text(), &retries);
    if (status == 0) {
        // The administrator now holds that token; its user counts as not logged in from here on.
        m_state.loginState[size_t(slot)] = 1;
        Messages::information(owner, ResStrs::text("F_Login_OK"));
        return;
    }
    Messages::information(owner, retries == 0 ? ResStrs::text("K_Dead")
                                              : ResStrs::text("K_PIN_Error") + QChar(13) +
                                                    ResStrs::format("K_Try_Time", int(retries)));
}
