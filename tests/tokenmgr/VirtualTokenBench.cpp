// SPDX-License-Identifier: BSD-3-Clause
#include "VirtualTokenBench.h"

#include "ContractData.h"
#include "TestEnv.h"
#include "TokenMgr.h"
#include "VToken.h"
#include "VTokenStore.h"

VirtualTokenBench::VirtualTokenBench() = default;
VirtualTokenBench::~VirtualTokenBench() = default;

bool VirtualTokenBench::start()
{
    m_env = std::make_unique<TestEnv>(false);
    return init_pkcs11(moduleName().constData()) == TM_OK;
}

void VirtualTokenBench::stop()
{
    uninit_pkcs11();
    m_env.reset();
}

QByteArray VirtualTokenBench::serial(int i) const
{
    return ContractData::serialFor(i).toLatin1();
}

bool VirtualTokenBench::addToken(int i, const Token& token)
{
    VToken t = VToken::makeNew(ContractData::serialFor(i), ContractData::UserPin, ContractData::SoPin);
    t.label = token.label.isEmpty() ? label(i) : token.label;
    t.initialized = token.initialized;
    for (const QByteArray& name : token.containers) {
        VToken::Container c;
        c.name = name;
        c.signature.certificate = ContractData::keyedCert();
        c.signature.publicKey = ContractData::keyedPublicKey();
        c.signature.privateKey = ContractData::keyedPrivateKey();
        c.signature.keyType = TM_KEYTYPE_EC;
        c.signature.keyBits = 256;
        t.containers << c;
    }
    for (const QByteArray& name : token.privateKeyOnly) {
        VToken::Container c;
        c.name = name;
        c.signature.privateKey = ContractData::keyedPrivateKey();
        c.signature.keyType = TM_KEYTYPE_EC;
        c.signature.keyBits = 256;
        t.containers << c;
    }
    if (token.virtualTweak)
        token.virtualTweak(t);
    VTokenStore store(m_env->tokenStore());
    return store.create(t) == VTokenStore::Result::Ok;
}

VToken VirtualTokenBench::read(int i) const
{
    VToken t;
    VTokenStore(m_env->tokenStore()).load(ContractData::serialFor(i), &t);
    return t;
}

bool VirtualTokenBench::update(int i, const std::function<void(VToken&)>& fn)
{
    VTokenStore store(m_env->tokenStore());
    return store.update(ContractData::serialFor(i), [&](VToken& t) {
        fn(t);
        return true;
    }) == VTokenStore::Result::Ok;
}

QString VirtualTokenBench::path(const QString& relative) const
{
    return m_env->path(relative);
}
