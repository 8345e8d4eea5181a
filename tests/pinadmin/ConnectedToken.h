// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "TokenFixture.h"
#include "VTokenStore.h"
#include "i18n/ResStrs.h"
#include "token/CerMgrApis.h"
#include "ui/TProgramState.h"

#include <functional>

// The page tests' token: stored as the only one and connected as slot 0, with its record read into
// the program state as discovery leaves it.
namespace ConnectedToken {

inline bool connect(const VToken& token, TProgramState& state)
{
    if (!TokenFixture::store(token) || CerMgrApis::InitTokenLibrary(ResStrs::text("PKCS11Name")) != 0)
        return false;
    qint32 count = 0;
    if (CerMgrApis::FindAndConnectTokens(count) != 0 || count != 1)
        return false;
    state.sessions.reset(1);
    if (CerMgrApis::ReadTokenInfo(0, state.sessions.at(0)->info()) != 0)
        return false;
    state.sessions.setCurrent(0);
    state.sessions.at(0)->setLogin(TTokenSession::Login::Found);
    return true;
}

// The token as the store holds it now.
inline VToken stored(const VToken& token)
{
    VToken now;
    VTokenStore().load(token.serial, &now);
    return now;
}

inline bool change(const VToken& token, const std::function<void(VToken&)>& edit)
{
    return VTokenStore().update(token.serial, [&](VToken& t) {
        edit(t);
        return true;
    }) == VTokenStore::Result::Ok;
}

} // namespace ConnectedToken
