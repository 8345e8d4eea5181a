// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "platform/TTimings.h"
#include "settings/TConfigInfo.h"
#include "token/TTokenSessions.h"
#include "ui/TContainerCertFlags.h"
#include "ui/TStartOptions.h"

// The program-wide state the main window owns and hands by reference to every page.
struct TProgramState
{
    // Tokens a refresh can find; the certificate flags keep one entry more.
    static constexpr int MaxTokens = TTokenSessions::MaxTokens;

    // The session of every connected token, and the current one.
    TTokenSessions sessions;
    // Per token and container, the certificates the last certificate tree build read.
    TContainerCertFlags ContainerCertFlags;
    // The settings read when the main window was created.
    TConfigInfo config;
    // Intervals and waits of the tool's timers.
    TTimings timings;
    // A worker thread is writing to a token: discovery waits, since reconnecting the tokens would cut
    // the worker's session in the middle of its write.
    bool tokenWorkRunning = false;
    // What the command line asked for.
    TStartOptions options;
    // Set when the main window is asked to close; long loops watch it to stop early.
    bool closing = false;

    // The process's SKF binding; none means no fingerprint side at all.
    TSkfBinding* skf() const { return sessions.skf(); }
    int tokenCount() const { return sessions.count(); }
    int currentToken() const { return sessions.currentSlot(); }
    // A token's entry of the token information table: its session's record, empty for a slot
    // without a token.
    const TQ7Info& tokenInfo(int slot) const;
    // A token's numeric login state: 0 none, 1 found and not logged in, 2 the user is logged in.
    qint32 loginState(int slot) const;
};

inline const TQ7Info& TProgramState::tokenInfo(int slot) const
{
    static const TQ7Info none;
    const TTokenSession* session = sessions.at(slot);
    return session ? session->info() : none;
}

inline qint32 TProgramState::loginState(int slot) const
{
    const TTokenSession* session = sessions.at(slot);
    return session ? session->loginState() : 0;
}

static_assert(TContainerCertFlags::Tokens == TProgramState::MaxTokens + 1,
              "every slot of the token table has its certificate flags");
