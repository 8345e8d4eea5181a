// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "SKF.h"
#include "token/TPinState.h"
#include "token/TQ7Info.h"

#include <QObject>

class TSkfBinding;

// One connected token as the window knows it: what the token library told about it, its PIN state,
// its own SKF application (found once by serial number, or none), and who is logged in on it and how.
// Pages hold a pointer to the current session and ask it; every change of the login is signalled.
class TTokenSession : public QObject
{
    Q_OBJECT
public:
    enum class Login
    {
        None,          // not connected (pulled out, or not found by the last refresh)
        Found,         // connected, nobody logged in
        UserByPin,     // the user, with the user PIN
        UserByFinger,  // the user, with an enrolled user finger
        AdminBySoPin,  // the administrator, with the SO PIN
        AdminByFinger, // the administrator, with an enrolled administrator finger
    };
    // What managing fingers of one kind needs from the session.
    enum class FingerRight
    {
        Allowed,
        NeedsLogin,    // nobody of that kind is logged in on this token
        NeedsPinLogin, // logged in by finger, which the device does not accept for managing fingers
    };

    TTokenSession(int slot, TSkfBinding* skf, QObject* parent = nullptr);

    int slot() const { return m_slot; }
    TQ7Info& info() { return m_info; }
    const TQ7Info& info() const { return m_info; }
    TPinState& pinState() { return m_pinState; }
    const TPinState& pinState() const { return m_pinState; }
    bool can(TQ7Info::Feature feature) const { return m_info.can(feature); }
    bool hasSensor() const { return m_info.FingerSupport > 0; }
    QString serialNumber() const { return m_info.SerialNumber; }

    Login login() const { return m_login; }
    // The numeric login state the rest of the tool stores: 0 none, 1 found, 2 the user is logged in.
    // An administrator's login leaves the user logged out (1).
    qint32 loginState() const;
    bool connected() const { return m_login != Login::None; }
    bool userLoggedIn() const { return m_login == Login::UserByPin || m_login == Login::UserByFinger; }
    bool adminLoggedIn() const { return m_login == Login::AdminBySoPin || m_login == Login::AdminByFinger; }
    // Whether the fingers of `pinType` (SKF_ADMIN_TYPE or SKF_USER_TYPE) may be enrolled, deleted or
    // unblocked on this token now.
    FingerRight fingerRight(uint32_t pinType) const;
    void setLogin(Login login);

    // This token's own fingerprint application: looked up by serial number the first time it is
    // needed, and again only after findApplication(). None for a token without a sensor or device.
    HAPPLICATION application();
    // Looks the application up again (the device list was rebuilt).
    HAPPLICATION findApplication();
    TSkfBinding* skf() const { return m_skf; }
    // The binding arrived (or went): the application is looked up again when next needed.
    void setSkf(TSkfBinding* skf);

    // Ends whatever authentication this token's fingerprint application holds, before a login of
    // another kind and whenever a session ends: no administrator's right outlives the administrator.
    void clearSecureState();
    // Ends the login (token library and device) and leaves the token found, nobody logged in.
    void logout();
    // An administrator's session ends (the user chose another token); a user's login stays.
    void endAdministrator();
    // The token was pulled out: nothing may be sent to it, nor in its name to another device.
    void markRemoved();
    // Asks the token library whether this session's token is still in its slot; a token pulled out
    // (or another token in its place) ends the session (Login::None) and the answer is false.
    bool stillConnected();

Q_SIGNALS:
    void changed();

private:
    int m_slot;
    TSkfBinding* m_skf;
    TQ7Info m_info;
    TPinState m_pinState;
    Login m_login = Login::None;
    HAPPLICATION m_application = nullptr;
    bool m_applicationLooked = false;
};
