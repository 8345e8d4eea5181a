// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "SKF.h"
#include "ui/TPage.h"

#include <QIcon>
#include <QPixmap>

#include <array>
#include <cstdint>

class QAction;
class QLabel;
class QTabWidget;
class QToolButton;
class TSkfBinding;
struct TProgramState;

// The ten fingers of the user or the administrator over a picture of two hands, and the test,
// unblock and delete-all buttons. Everything acts on the token selected in the window: its own SKF
// application, its own login state.
class TFingerPage : public TPage
{
    Q_OBJECT
public:
    explicit TFingerPage(TProgramState& state, QWidget* parent = nullptr);

    QTabWidget* pageControl() const { return m_pcFinger; }
    // Finger number 1..10; nullptr outside that range.
    QToolButton* fingerButton(int finger) const;
    // IL32: 0 marks an enrolled finger, 1 the finger just matched.
    QIcon markImage(int index) const;
    // The pictures the fingerprint dialogs show.
    QPixmap handPicture() const { return m_hand; }
    QPixmap okPicture() const { return m_ok; }
    QPixmap errorPicture() const { return m_error; }
    QString animationFile() const;

    // True when the selected token has a sensor and the fingerprint side is on.
    bool tokenHasSensor() const;

    // Reads the selected token's finger state for a PIN type and redraws the ten buttons.
    void RefreshFingerPage(uint32_t pinType);
    // Shows the fingers of the PIN type: 0 administrator, 1 user.
    void ShowFingerPageFor(uint32_t pinType);

    // Takes the login page's fingerprint login: runs it, shows it only for sensor tokens and enables
    // it while the user has enrolled fingers.
    void attachLogon(QAction* fingerLogon);
    // The login page is about to be shown for the selected token.
    void prepareLogon();
    // The same for the administrator's fingerprint login on the SO login page.
    void attachSoLogon(QAction* fingerSoLogon);
    void prepareSoLogon();

public Q_SLOTS:
    void fingerClicked(int finger);
    void AcFingerTest();
    void AcFingerUnlock();
    void AcFingerDel();
    void AcFingerlogon();
    void AcFingerSoLogon();

Q_SIGNALS:
    // A fingerprint login succeeded on this token: its objects are reloaded and its user is logged in.
    void fingerLoggedIn(int token);

private:
    // Verifies a finger of the PIN type on the selected token; its session when the finger was
    // accepted, nullptr otherwise.
    TTokenSession* fingerLogin(uint32_t pinType);
    // Whether the selected token's session may manage fingers of the PIN type; tells the user why not.
    bool mayManage(uint32_t pinType);
    // A login page is about to be shown: its fingerprint login shows only for a sensor token, whose
    // fingers of the PIN type are read for it.
    void showLogonFor(QAction* logon, uint32_t pinType);
    TSkfBinding* skf() const;
    QByteArray serial() const;
    HAPPLICATION application() const;
    bool failAndReport(uint32_t status);
    void enableTestAndDelete();

    QTabWidget* m_pcFinger;
    QLabel* m_imghand;
    std::array<QToolButton*, 10> m_fingers{};
    QAction* m_test;
    QAction* m_unlock;
    QAction* m_delete;
    QAction* m_logon = nullptr;
    QAction* m_soLogon = nullptr;
    QLabel* m_info;
    // The binding the page's redraw was handed to; the binding arrives after the page is built.
    mutable TSkfBinding* m_hooked = nullptr;
    std::array<QIcon, 2> m_il32;
    QPixmap m_hand;
    QPixmap m_ok;
    QPixmap m_error;
};
