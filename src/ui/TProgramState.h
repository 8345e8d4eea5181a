#pragma once

#include "platform/TTimings.h"
#include "settings/TConfigInfo.h"
#include "token/SecretBuffer.h"
#include "token/TPinState.h"
#include "token/TQ7Info.h"
#include "ui/TContainerCertFlags.h"
#include "ui/TStartOptions.h"

#include <array>
#include <memory>

class TSkfBinding;

// The program-wide state the main window owns and hands by reference to every page.
struct TProgramState
{
    // Tokens a refresh can find; TokenInfoTable keeps one entry more.
    static constexpr int MaxTokens = 32;

    int currentToken = 0;
    int tokenCount = 0;
    // One entry per token slot, filled by discovery.
    std::array<TQ7Info, MaxTokens + 1> TokenInfoTable;
    // Per token: 0 none, 1 found and not logged in, 2 logged in with the user PIN.
    std::array<qint32, MaxTokens + 1> loginState{};
    // The user PIN of the last successful login, in the system code page, for the SKF side. Replacing
    // or dropping it wipes the old bytes, and so does the end of the process.
    std::unique_ptr<SecretBuffer> loggedInPin;
    // Per token and container, the certificates the last certificate tree build read.
    TContainerCertFlags ContainerCertFlags;
    // The user PIN state last read, shared by the pages that show or check it.
    TPinState pinState;
    // The process's SKF binding; none means no fingerprint side at all.
    TSkfBinding* skf = nullptr;
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
};

static_assert(TContainerCertFlags::Tokens == TProgramState::MaxTokens + 1,
              "every slot of the token table has its certificate flags");
