// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "token/TTokenSession.h"

#include <QObject>

#include <memory>
#include <vector>

class TSkfBinding;

// The sessions of the tokens the last refresh found, by slot index, and the one the window shows.
// The main window owns the list; pages ask it for the current session.
class TTokenSessions : public QObject
{
    Q_OBJECT
public:
    // Tokens a refresh can find.
    static constexpr int MaxTokens = 32;

    explicit TTokenSessions(QObject* parent = nullptr);
    ~TTokenSessions() override;

    void setSkf(TSkfBinding* skf);
    TSkfBinding* skf() const { return m_skf; }
    // The fingerprint side is on: the binding is there and a refresh found a token with a sensor.
    bool fingerFlag() const;

    int count() const { return int(m_sessions.size()); }
    // The session of `slot`; nullptr outside 0..count()-1.
    TTokenSession* at(int slot) const;
    // The slot index the navigation chose (a root node's index when no token node is selected).
    int currentSlot() const { return m_current; }
    // The session of the current slot; nullptr when that slot holds no token.
    TTokenSession* current() const { return at(m_current); }
    // The window turns to another token: an administrator's session on the token left ends.
    void setCurrent(int slot);

    // Ends every session (the devices' secure states cleared first) and starts `count` sessions of
    // tokens not yet read, nobody logged in (Login::None until found() is called).
    void reset(int count);
    // Every session of the list counts as found, nobody logged in.
    void found();

Q_SIGNALS:
    // The list was rebuilt; earlier session pointers are gone.
    void listReset();
    void currentChanged(TTokenSession* session);

private:
    TSkfBinding* m_skf = nullptr;
    std::vector<std::unique_ptr<TTokenSession>> m_sessions;
    int m_current = 0;
};
