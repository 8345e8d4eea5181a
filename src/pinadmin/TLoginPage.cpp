// SPDX-License-Identifier: BSD-3-Clause
#include "TLoginPage.h"

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
    TTokenSession* token = session();
    if (!token)
        return false;
    return m_edtUPIN->text().size() >= token->info().MinPinLen;
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
    TTokenSession* token = presentSession();
    if (!token)
        return;
    const int slot = token->slot();
    QWidget* owner = window();
    if (token->info().Initialized == 0) {
        Messages::information(owner, ResStrs::text("Init_Info"));
        return;
    }
    CerMgrApis::ReadPinState(slot, PinType::User, token->pinState());
    if (token->pinState().Locked == 1) {
        Messages::information(owner, ResStrs::text("K_Dead"));
        return;
    }
    // Every attempt starts logged out, on the token and on its device, so a failed one never leaves
    // an earlier login standing, nor an administrator's authentication under the user's login.
    token->logout();

    const QString typed = m_edtUPIN->text();
    qint32 retriesLeft = 0;
    const quint32 status = CerMgrApis::LoginUser(slot, typed, retriesLeft);
    if (status != 0) {
        reportFailure(status, retriesLeft);
        return;
    }

    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    CerMgrApis::ReloadTokenObjects(slot);
    if (HAPPLICATION app = token->application()) {
        // The token accepted this PIN as the user PIN; offered as any other PIN type it would only
        // cost that PIN a try. It opens this token's own fingerprint application, and only that.
        uint32_t skfRetries = 0;
        token->skf()->VerifyPIN(app, SKF_USER_TYPE, typed, &skfRetries);
    }
    token->setLogin(TTokenSession::Login::UserByPin);
    // The next person at the desk must not log in with the PIN left in the field.
    clearPin();
    Q_EMIT loggedIn();
}

void TLoginPage::reportFailure(quint32 status, qint32 retriesLeft)
{
    Messages::information(window(), LoginVerdict(status, retriesLeft));
}
