#include "TLoginPage.h"

#include "finger/TSkfBinding.h"
#include "i18n/ResStrs.h"
#include "platform/ActionUpdater.h"
#include "token/CerMgrApis.h"
#include "token/SecretBuffer.h"
#include "ui/Messages.h"
#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>

#include <memory>

using namespace PageWidgets;

TLoginPage::TLoginPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet4"));

    auto* box = group(this, "RzGroupBox3");
    auto* form = formIn(this, box);
    m_lkeyname = nameLabel(box, "Lkeyname");
    m_edtUPIN = edit(box, "edtUPIN", 16, true);
    m_label10 = label(box, "Label10", QString::number(m_edtUPIN->text().size()));
    addRow(form, nullptr, label(box, "Label14"));
    addRow(form, nullptr, m_lkeyname);
    addRow(form, label(box, "RzLabel1"), m_edtUPIN, m_label10);

    m_login = action(this, "AcLogin");
    m_fingerLogon = action(this, "AcFingerlogon");
    auto* cancel = action(this, "AcCancel");
    // The page's cancel button answers Esc anywhere on the page.
    cancel->setShortcut(Qt::Key_Escape);
    cancel->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(cancel);
    addButtons(form, {button(box, "btnlogon", m_login), button(box, "RzButton3", cancel),
                      button(box, "Button20", m_fingerLogon)});

    connect(m_login, &QAction::triggered, this, &TLoginPage::login);
    connect(cancel, &QAction::triggered, this, &TLoginPage::clearPin);
    // Enter tries the login even while the action is disabled (an empty field on a sensor token asks
    // for a finger).
    connect(m_edtUPIN, &QLineEdit::returnPressed, this, &TLoginPage::login);
    connect(m_edtUPIN, &QLineEdit::textChanged, m_label10,
            [this](const QString& text) { m_label10->setText(QString::number(text.size())); });
    m_edtUPIN->installEventFilter(this);
    ActionUpdater::instance().add(m_login, [this] { return loginAllowed(); });
}

void TLoginPage::setKeyName(const QString& label)
{
    m_lkeyname->setText(label);
}

void TLoginPage::clearPin()
{
    m_edtUPIN->clear();
}

bool TLoginPage::loginAllowed() const
{
    const int slot = m_state.currentToken;
    if (slot < 0 || slot >= TProgramState::MaxTokens)
        return false;
    return m_edtUPIN->text().size() >= m_state.TokenInfoTable[size_t(slot)].MinPinLen;
}

bool TLoginPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edtUPIN && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        // The field being typed in stands out in yellow.
        QPalette palette = m_edtUPIN->palette();
        palette.setColor(QPalette::Base, event->type() == QEvent::FocusIn
                                             ? QColor(Qt::yellow)
                                             : QApplication::palette(m_edtUPIN).color(QPalette::Base));
        m_edtUPIN->setPalette(palette);
    }
    return TPage::eventFilter(watched, event);
}

void TLoginPage::login()
{
    const int slot = m_state.currentToken;
    if (slot < 0 || slot >= TProgramState::MaxTokens)
        return;
    QWidget* owner = window();
    if (m_state.TokenInfoTable[size_t(slot)].Initialized == 0) {
        Messages::information(owner, ResStrs::text("Init_Info"));
        return;
    }
    CerMgrApis::ReadPinState(slot, PinType::User, m_state.pinState);
    if (m_state.pinState.Locked == 1) {
        Messages::information(owner, ResStrs::text("K_Dead"));
        return;
    }
    // Every attempt starts logged out, so a failed one never leaves an earlier login standing.
    CerMgrApis::LogoutToken(slot);
    m_state.loginState[size_t(slot)] = 1;

    const QString typed = m_edtUPIN->text();
    auto pin = std::make_unique<SecretBuffer>(typed);
    qint32 retriesLeft = 0;
    const quint32 status = CerMgrApis::LoginUser(slot, typed, retriesLeft);
    if (status != 0) {
        reportFailure(status, retriesLeft);
        return;
    }

    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    // Replacing the PIN of an earlier login wipes it.
    m_state.loggedInPin = std::move(pin);
    CerMgrApis::ReloadTokenObjects(slot);
    m_state.loginState[size_t(slot)] = 2;
    // The next person at the desk must not log in with the PIN left in the field.
    clearPin();
    Q_EMIT loggedIn();
    TSkfBinding* skf = m_state.skf;
    if (skf && skf->fingerFlag() && m_state.TokenInfoTable[size_t(slot)].FingerSupport > 0) {
        // The token accepted this PIN as the user PIN; offered as any other PIN type it would only
        // cost that PIN a try. It opens this token's own fingerprint application.
        uint32_t skfRetries = 0;
        if (HAPPLICATION app =
                skf->TokenApplication(m_state.TokenInfoTable[size_t(slot)].SerialNumber.toLocal8Bit()))
            skf->VerifyPIN(app, SKF_USER_TYPE, m_state.loggedInPin->constData(), &skfRetries);
    }
}

void TLoginPage::reportFailure(quint32 status, qint32 retriesLeft)
{
    QString text;
    if (retriesLeft > 0)
        text = ResStrs::text("K_PIN_Error") + QChar(13) + ResStrs::format("K_Try_Time", retriesLeft);
    else if (status == TokenStatus::PinIncorrect && retriesLeft == TokenStatus::RetriesUnknown)
        // Wrong, but the token does not tell how many tries are left: not locked either.
        text = ResStrs::text("K_PIN_Error");
    else if (status == TokenStatus::PinIncorrect || status == TokenStatus::PinLocked)
        text = ResStrs::text("K_Dead");
    else
        // The token gave no verdict on the PIN (pulled out, failing): saying it is locked would be wrong.
        text = ResStrs::format("P_FormatError", status);
    Messages::information(window(), text);
}
