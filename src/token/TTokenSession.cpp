// SPDX-License-Identifier: BSD-3-Clause
#include "TTokenSession.h"

#include "skf/TSkfBinding.h"
#include "token/CerMgrApis.h"
#include "token/TokenStatus.h"

TTokenSession::TTokenSession(int slot, TSkfBinding* skf, QObject* parent)
    : QObject(parent), m_slot(slot), m_skf(skf)
{
}

void TTokenSession::setSkf(TSkfBinding* skf)
{
    m_skf = skf;
    m_application = nullptr;
    m_applicationLooked = false;
}

qint32 TTokenSession::loginState() const
{
    switch (m_login) {
    case Login::None:
        return 0;
    case Login::UserByPin:
    case Login::UserByFinger:
        return 2;
    default:
        return 1;
    }
}

TTokenSession::FingerRight TTokenSession::fingerRight(uint32_t pinType) const
{
    const bool admin = pinType == SKF_ADMIN_TYPE;
    const Login byPin = admin ? Login::AdminBySoPin : Login::UserByPin;
    const Login byFinger = admin ? Login::AdminByFinger : Login::UserByFinger;
    if (m_login == byPin)
        return FingerRight::Allowed;
    // A matched finger authenticates nobody on the device: managing fingers needs the PIN.
    return m_login == byFinger ? FingerRight::NeedsPinLogin : FingerRight::NeedsLogin;
}

void TTokenSession::setLogin(Login login)
{
    if (m_login == login)
        return;
    m_login = login;
    Q_EMIT changed();
}

HAPPLICATION TTokenSession::application()
{
    if (!m_applicationLooked)
        return findApplication();
    return m_login == Login::None ? nullptr : m_application;
}

HAPPLICATION TTokenSession::findApplication()
{
    // A token no longer connected keeps none: its serial may name a device plugged in later.
    if (m_login == Login::None)
        return nullptr;
    m_applicationLooked = true;
    m_application = nullptr;
    // Only while the fingerprint side is on: without it no call reaches the device library.
    if (m_skf && m_skf->fingerFlag() && hasSensor() && !m_info.SerialNumber.isEmpty())
        m_application = m_skf->TokenApplication(m_info.SerialNumber.toLocal8Bit());
    return m_application;
}

void TTokenSession::clearSecureState()
{
    if (m_skf && m_application)
        m_skf->ClearSecureState(m_application);
}

void TTokenSession::logout()
{
    if (m_login == Login::None)
        return;
    CerMgrApis::LogoutToken(m_slot);
    clearSecureState();
    setLogin(Login::Found);
}

void TTokenSession::endAdministrator()
{
    if (adminLoggedIn())
        logout();
}

void TTokenSession::markRemoved()
{
    // The device's state goes with the token; its handle must not reach a device plugged in later.
    m_application = nullptr;
    m_applicationLooked = true;
    setLogin(Login::None);
}

bool TTokenSession::stillConnected()
{
    if (m_login == Login::None)
        return false;
    TQ7Info now;
    const quint32 status = CerMgrApis::ReadTokenInfo(m_slot, now);
    // A token that answers but fails otherwise is still there; its operation reports the failure.
    const bool gone = status == TokenStatus::TokenRemoved || status == TokenStatus::NoSuchSlot ||
                      (status == TokenStatus::Success && now.SerialNumber != m_info.SerialNumber);
    if (gone)
        markRemoved();
    return !gone;
}
