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
    if (CerMgrApis::ReadTokenInfo(0, state.TokenInfoTable[0]) != 0)
        return false;
    state.tokenCount = 1;
    state.currentToken = 0;
    state.loginState[0] = 1;
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
