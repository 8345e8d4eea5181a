// SPDX-License-Identifier: BSD-3-Clause
#pragma once

// What the token-library tests share: a library started on a store of the test's own, with the module
// name from QX_TOKENMGR_MODULE (the default name when unset), and virtual tokens set up and read back.
#include "ContractData.h"
#include "LibraryCalls.h"
#include "TestEnv.h"
#include "TokenMgr.h"
#include "VToken.h"
#include "VTokenStore.h"

#include <QtTest>

#include <functional>
#include <memory>

class TokenLibraryFixture
{
public:
    // The module the library is started with.
    static QByteArray moduleName()
    {
        const QByteArray m = qgetenv("QX_TOKENMGR_MODULE");
        return m.isEmpty() ? QByteArray("q7sec_pkcs11.dll") : m;
    }

    // A fresh store and the library started on it; false when the library did not start.
    bool start()
    {
        m_env = std::make_unique<TestEnv>(false);
        return init_pkcs11(moduleName().constData()) == TM_OK;
    }
    void stop()
    {
        uninit_pkcs11();
        m_env.reset();
    }

protected:
    std::unique_ptr<TestEnv> m_env;

    VTokenStore store() const { return VTokenStore(m_env->tokenStore()); }

    VToken addToken(int i, const std::function<void(VToken&)>& tweak = {})
    {
        VToken t = VToken::makeNew(ContractData::serialFor(i), ContractData::UserPin, ContractData::SoPin);
        if (tweak)
            tweak(t);
        VTokenStore s = store();
        if (s.create(t) != VTokenStore::Result::Ok)
            qFatal("cannot create a token");
        return t;
    }

    void updateToken(int i, const std::function<void(VToken&)>& fn)
    {
        VTokenStore s = store();
        QCOMPARE(s.update(ContractData::serialFor(i),
                          [&](VToken& t) {
                              fn(t);
                              return true;
                          }),
                 VTokenStore::Result::Ok);
    }

    VToken readToken(int i) const
    {
        VToken t;
        store().load(ContractData::serialFor(i), &t);
        return t;
    }

    // Find and connect every token; the count, or -1.
    int connectAll() { return LibraryCalls::connectAll(); }

    tm_status userLogin(int slot = 0, const QByteArray& pin = ContractData::UserPin)
    {
        int32_t retries = -1;
        return token_login(slot, pin.constData(), &retries);
    }
};
