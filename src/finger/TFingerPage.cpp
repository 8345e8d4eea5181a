// SPDX-License-Identifier: BSD-3-Clause
#include "TFingerPage.h"

#include "finger/TFingerInputForm.h"
#include "finger/TFingerTestForm.h"
#include "finger/TFingerVerifyForm.h"
#include "i18n/ResStrs.h"
#include "platform/ActionUpdater.h"
#include "platform/AppPaths.h"
#include "skf/TSkfBinding.h"
#include "token/CerMgrApis.h"
#include "ui/Messages.h"
#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QScopeGuard>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace PageWidgets;

namespace {

// Left edges of the finger buttons, finger 1 to 10: five over the left hand, five over the right.
constexpr int kFingerLeft[10] = {14, 49, 82, 116, 155, 220, 256, 292, 326, 360};
constexpr int kFingerTop = 21;

QString picturePath(const char* name)
{
    return AppPaths::applicationDir() + QStringLiteral("res/") + QLatin1String(name);
}

bool isFinger(uint32_t value)
{
    return value >= 1 && value <= 10;
}

} // namespace

TFingerPage::TFingerPage(TProgramState& state, QWidget* parent)
    : TPage(state, parent), m_pcFinger(new QTabWidget(this))
{
    setObjectName(QStringLiteral("TabSheet15"));
    m_pcFinger->setObjectName(QStringLiteral("PCFinger"));

    m_hand = QPixmap(picturePath("finger_hands.png"));
    m_ok = QPixmap(picturePath("finger_ok.png"));
    m_error = QPixmap(picturePath("finger_error.png"));
    const QPixmap marks(picturePath("finger_marks.png"));
    for (int i = 0; i < 2; ++i)
        m_il32[size_t(i)] = marks.isNull() ? QIcon() : QIcon(marks.copy(32 * i, 0, 32, 32));

    auto* tab = new QWidget;
    tab->setObjectName(QStringLiteral("TabSheet16"));
    // The picture, the finger buttons over it and the hint below fill the tab; the tab and the button
    // row below it must fit the fixed window's page in every language.
    tab->setMinimumSize(430, 276);
    m_imghand = label(tab, "Imghand");
    m_imghand->setGeometry(16, 4, 392, 253);
    m_imghand->setPixmap(m_hand);

    // One handler serves all ten buttons; each carries its finger number as its tag.
    action(this, "AcFingerInput");
    for (int i = 0; i < 10; ++i) {
        auto* b = new QToolButton(tab);
        b->setObjectName(QStringLiteral("SpeedButton%1").arg(i + 1));
        b->setProperty("Tag", i + 1);
        b->setAutoRaise(true);
        b->setCursor(Qt::PointingHandCursor);
        b->setGeometry(kFingerLeft[i], kFingerTop, 32, 32);
        b->setIconSize(QSize(32, 32));
        connect(b, &QToolButton::clicked, this, [this, i] { fingerClicked(i + 1); });
        m_fingers[size_t(i)] = b;
    }

    m_info = label(tab, "LFingerInfo1");
    QPalette palette = m_info->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    m_info->setPalette(palette);
    m_info->setGeometry(16, 258, 400, 18);
    m_pcFinger->addTab(tab, QString());

    m_test = action(this, "AcFingerTest");
    m_unlock = action(this, "AcFingerUnlock");
    m_delete = action(this, "AcFingerDel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button(this, "btnFingerTest", m_test));
    buttons->addWidget(button(this, "btnFingerUnlock", m_unlock));
    buttons->addWidget(button(this, "btnFingerDel", m_delete));
    connect(m_test, &QAction::triggered, this, &TFingerPage::AcFingerTest);
    connect(m_unlock, &QAction::triggered, this, &TFingerPage::AcFingerUnlock);
    connect(m_delete, &QAction::triggered, this, &TFingerPage::AcFingerDel);

    auto* layout = new QVBoxLayout(this);
    // The picture of the hands takes nearly the whole page height; the buttons keep clear of the
    // window's edges.
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_pcFinger, 1);
    buttons->setContentsMargins(0, 0, 4, 4);
    layout->addLayout(buttons);
}

QToolButton* TFingerPage::fingerButton(int finger) const
{
    return finger >= 1 && finger <= 10 ? m_fingers[size_t(finger - 1)] : nullptr;
}

QIcon TFingerPage::markImage(int index) const
{
    return index >= 0 && index < int(m_il32.size()) ? m_il32[size_t(index)] : QIcon();
}

QString TFingerPage::animationFile() const
{
    return picturePath("finger.gif");
}

TSkfBinding* TFingerPage::skf() const
{
    TSkfBinding* binding = m_state.skf();
    if (binding && binding != m_hooked) {
        m_hooked = binding;
        auto* self = const_cast<TFingerPage*>(this);
        m_hooked->setFingerPageRefresher([self](uint32_t pinType) { self->RefreshFingerPage(pinType); });
    }
    return binding;
}

QByteArray TFingerPage::serial() const
{
    const TTokenSession* token = session();
    return token ? token->serialNumber().toLocal8Bit() : QByteArray();
}

HAPPLICATION TFingerPage::application() const
{
    TTokenSession* token = session();
    return token ? token->application() : nullptr;
}

bool TFingerPage::tokenHasSensor() const
{
    const TTokenSession* token = session();
    return skf() && skf()->fingerFlag() && token && token->hasSensor();
}

bool TFingerPage::mayManage(uint32_t pinType)
{
    // A token pulled out since it was selected gets nothing, and nor does any other device.
    TTokenSession* token = presentSession();
    if (!token)
        return false;
    switch (token->fingerRight(pinType)) {
    case TTokenSession::FingerRight::Allowed:
        return true;
    case TTokenSession::FingerRight::NeedsPinLogin:
        Messages::information(window(), ResStrs::text("F_Need_PinLogin"));
        return false;
    case TTokenSession::FingerRight::NeedsLogin:
        break;
    }
    Messages::information(window(), ResStrs::text("P_SAR_USER_NOT_LOGGED_IN"));
    return false;
}

bool TFingerPage::failAndReport(uint32_t status)
{
    if (status == SAR_OK)
        return false;
    if (status == SAR_USER_NOT_LOGGED_IN)
        Messages::information(window(), ResStrs::text("P_SAR_USER_NOT_LOGGED_IN"));
    else if (status == SAR_PIN_LOCKED)
        Messages::information(window(), ResStrs::text("P_SAR_PIN_LOCKED"));
    else
        Messages::information(window(), ResStrs::format("P_FormatError", status));
    return true;
}

void TFingerPage::RefreshFingerPage(uint32_t pinType)
{
    for (QToolButton* b : m_fingers)
        b->setIcon(QIcon());
    TSkfBinding* s = skf();
    // Without the device library the page says so instead of offering fingers it cannot read.
    const bool missing = !s || !s->isLoaded();
    QPalette palette = m_info->palette();
    // After a fingerprint login the page says before any click that managing fingers needs the PIN.
    const TTokenSession* token = session();
    const bool needsPin = token && token->fingerRight(pinType) == TTokenSession::FingerRight::NeedsPinLogin;
    palette.setColor(QPalette::WindowText, missing || needsPin ? Qt::red : Qt::blue);
    m_info->setPalette(palette);
    m_info->setText(missing    ? ResStrs::format("P_FormatError", SKF_ENTRY_MISSING)
                    : needsPin ? ResStrs::text("F_Need_PinLogin")
                               : ResStrs::text("F_Finger_Info1"));
    if (!s)
        return;
    // A token whose own device is not found shows no fingers rather than another token's.
    s->ReadTokenFingerState(pinType, serial());
    const TFingerInfo& info = s->fingerInfo();
    for (uint32_t i = 0; i < info.IdCount && i < TFingerInfo::IdCapacity; ++i) {
        const uint32_t finger = info.FingerIds[i];
        if (isFinger(finger))
            m_fingers[finger - 1]->setIcon(m_il32[0]);
    }
}

void TFingerPage::enableTestAndDelete()
{
    const bool any = skf() && skf()->fingerInfo().EnrolledCount > 0;
    m_test->setEnabled(any);
    m_delete->setEnabled(any);
}

void TFingerPage::ShowFingerPageFor(uint32_t pinType)
{
    m_pcFinger->setTabText(0, ResStrs::text(pinType == SKF_ADMIN_TYPE ? "F_Admin_Finger" : "F_User_Finger"));
    if (TSkfBinding* s = skf())
        s->setCurrentPinType(pinType);
    RefreshFingerPage(pinType);
    m_unlock->setText(ResStrs::text(pinType == SKF_ADMIN_TYPE ? "F_Admin_Unlock" : "F_User_Unlock"));
    enableTestAndDelete();
}

void TFingerPage::fingerClicked(int finger)
{
    TSkfBinding* s = skf();
    // A stray number (0, 11, or 255, which would mean every finger) changes nothing.
    if (!s || !isFinger(uint32_t(finger)))
        return;
    const uint32_t pinType = s->currentPinType();
    if (!mayManage(pinType))
        return;
    const HAPPLICATION app = application();
    TFingerInfo info;
    s->GetFingerInfo(app, pinType, info);
    bool enrolled = false;
    for (uint32_t i = 0; i < TFingerInfo::IdsOffered; ++i)
        enrolled = enrolled || info.FingerIds[i] == uint32_t(finger);

    if (enrolled) {
        if (!Messages::question(window(), ResStrs::text("P_FingerDeleteInfo")))
            return;
        if (failAndReport(s->DeleteFinger(app, pinType, uint32_t(finger))))
            return;
    } else {
        TFingerInputForm dialog(*s, m_state.timings, window());
        dialog.setWindowTitle(ResStrs::text("P_FingerInput"));
        dialog.setFingerNumber(uint32_t(finger));
        dialog.setApplication(app);
        dialog.setPinType(pinType);
        dialog.setPictures(m_ok, m_error, animationFile());
        dialog.exec();
    }
    RefreshFingerPage(pinType);
    enableTestAndDelete();
}

void TFingerPage::AcFingerDel()
{
    TSkfBinding* s = skf();
    if (!s || !mayManage(s->currentPinType()))
        return;
    if (s->fingerInfo().EnrolledCount == 0) {
        Messages::information(window(), ResStrs::text("P_SAR_FINGER_NOT_EXIST"));
        return;
    }
    if (!Messages::question(window(), ResStrs::text("P_FingerDeleteInfo")))
        return;
    const uint32_t pinType = s->currentPinType();
    const HAPPLICATION app = application();
    TFingerInfo info;
    s->GetFingerInfo(app, pinType, info);
    // A list that emptied since the last redraw deletes nothing and is redrawn as it is.
    for (uint32_t i = 0; i < TFingerInfo::IdsOffered; ++i) {
        const uint32_t finger = info.FingerIds[i];
        // Only real finger numbers: a stray 255 would mean every finger.
        if (!isFinger(finger))
            continue;
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const uint32_t status = s->DeleteFinger(app, pinType, finger);
        QGuiApplication::restoreOverrideCursor();
        if (failAndReport(status))
            return;
    }
    RefreshFingerPage(pinType);
}

void TFingerPage::AcFingerTest()
{
    TSkfBinding* s = skf();
    if (!s || !presentSession())
        return;
    if (s->fingerInfo().RetriesLeft == 0) {
        Messages::information(window(), ResStrs::text("P_SAR_PIN_LOCKED"));
        return;
    }
    if (s->fingerInfo().EnrolledCount == 0) {
        Messages::information(window(), ResStrs::text("P_SAR_FINGER_NOT_EXIST"));
        return;
    }
    const uint32_t pinType = s->currentPinType();
    TFingerTestForm dialog(*s, m_state.timings, window());
    dialog.setWindowTitle(ResStrs::text(pinType == SKF_ADMIN_TYPE ? "F_Admin_Test" : "F_User_Test"));
    std::array<QIcon, 10> images;
    for (size_t i = 0; i < images.size(); ++i)
        images[i] = m_fingers[i]->icon();
    dialog.setPictures(m_hand, images, m_il32[1]);
    dialog.setApplication(application());
    dialog.setPinType(pinType);
    dialog.exec();
}

void TFingerPage::AcFingerUnlock()
{
    TSkfBinding* s = skf();
    if (!s || !mayManage(s->currentPinType()))
        return;
    if (!failAndReport(s->UnblockFinger(application(), s->currentPinType())))
        Messages::information(window(), ResStrs::text("Change_Yes"));
}

void TFingerPage::attachLogon(QAction* fingerLogon)
{
    m_logon = fingerLogon;
    connect(fingerLogon, &QAction::triggered, this, &TFingerPage::AcFingerlogon);
    ActionUpdater::instance().add(fingerLogon, [this] { return skf() && skf()->userFingerCount() > 0; });
}

void TFingerPage::attachSoLogon(QAction* fingerSoLogon)
{
    m_soLogon = fingerSoLogon;
    connect(fingerSoLogon, &QAction::triggered, this, &TFingerPage::AcFingerSoLogon);
    ActionUpdater::instance().add(fingerSoLogon, [this] { return skf() && skf()->adminFingerCount() > 0; });
}

void TFingerPage::prepareSoLogon()
{
    showLogonFor(m_soLogon, SKF_ADMIN_TYPE);
}

void TFingerPage::prepareLogon()
{
    showLogonFor(m_logon, SKF_USER_TYPE);
}

void TFingerPage::showLogonFor(QAction* logon, uint32_t pinType)
{
    const bool sensor = tokenHasSensor();
    if (logon)
        logon->setVisible(sensor);
    if (sensor)
        RefreshFingerPage(pinType);
}

void TFingerPage::AcFingerlogon()
{
    TTokenSession* token = fingerLogin(SKF_USER_TYPE);
    if (!token)
        return;
    // The finger logged in the token it was read on, and only that one.
    CerMgrApis::ReloadTokenObjects(token->slot());
    token->setLogin(TTokenSession::Login::UserByFinger);
    RefreshFingerPage(SKF_USER_TYPE);
    Q_EMIT fingerLoggedIn(token->slot());
}

void TFingerPage::AcFingerSoLogon()
{
    // The administrator's finger ends the user's login on that token; nothing else changes.
    TTokenSession* token = fingerLogin(SKF_ADMIN_TYPE);
    if (!token)
        return;
    token->setLogin(TTokenSession::Login::AdminByFinger);
    RefreshFingerPage(SKF_ADMIN_TYPE);
    Messages::information(window(), ResStrs::text("F_Login_OK"));
}

TTokenSession* TFingerPage::fingerLogin(uint32_t pinType)
{
    TSkfBinding* s = skf();
    if (!s || !tokenHasSensor())
        return nullptr;
    TTokenSession* token = presentSession();
    if (!token)
        return nullptr;
    RefreshFingerPage(pinType);
    if (s->fingerInfo().RetriesLeft == 0) {
        Messages::information(window(), ResStrs::text("P_SAR_PIN_LOCKED"));
        return nullptr;
    }
    if (s->fingerInfo().EnrolledCount == 0) {
        Messages::information(window(), ResStrs::text("P_SAR_FINGER_NOT_EXIST"));
        return nullptr;
    }
    // Whoever was logged in on the token and its device is not, whatever the finger says.
    token->logout();
    const QPointer<TTokenSession> verified(token);
    TFingerVerifyForm dialog(*s, m_state.timings, window());
    dialog.setWindowTitle(ResStrs::text("P_FingerVerify"));
    dialog.setApplication(application());
    dialog.setPinType(pinType);
    dialog.setTokenSlot(token->slot());
    dialog.setPictures(m_ok, m_error, animationFile());
    // Discovery must not reconnect the tokens under the login that waits for the finger.
    m_state.tokenWorkRunning = true;
    const auto resume = qScopeGuard([this] { m_state.tokenWorkRunning = false; });
    dialog.exec();
    // A refresh while the dialog was open ended the session the finger was meant for.
    if (dialog.status() != SAR_OK || !verified || !verified->connected())
        return nullptr;
    return verified;
}
