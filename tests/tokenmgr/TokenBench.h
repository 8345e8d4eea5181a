// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class VToken;
class VirtualTokenBench;

// Where the contract suite's tokens live: the virtual device or a PKCS#11 module's own tokens. A bench
// makes tokens with a label, PINs and containers, and starts the library on the module QX_TOKENMGR_MODULE
// names. Everything a case checks afterwards goes through the library's C calls.
class TokenBench
{
public:
    struct Token
    {
        QByteArray label; // empty: label(i)
        // Each container holds ContractData::keyedCert() with its key pair, for signing.
        QList<QByteArray> containers;
        // Each holds only the private key of ContractData::keyedCert(): no certificate, no public key.
        QList<QByteArray> privateKeyOnly;
        bool initialized = true; // a token not initialized has no label, PINs or containers
        // Applied on the virtual device only: a PKCS#11 token keeps what its module reports.
        std::function<void(VToken&)> virtualTweak;
    };

    virtual ~TokenBench() = default;

    // The bench for QX_TOKENMGR_MODULE (the virtual device when unset).
    static std::unique_ptr<TokenBench> fromEnvironment();
    static QByteArray moduleName();

    virtual QString name() const = 0;
    // Why the bench cannot run here; empty when it can.
    virtual QString unavailable() const = 0;

    // A fresh, empty token store and the library started on it; false when the library did not start.
    virtual bool start() = 0;
    virtual void stop() = 0;
    // Token i, made while the library runs; find and connect again afterwards.
    virtual bool addToken(int i, const Token& token) = 0;

    static QByteArray label(int i) { return "Token " + QByteArray::number(i); }
    // The serial number token i reports, when the bench chooses it; empty otherwise.
    virtual QByteArray serial(int i) const = 0;
    virtual QByteArray manufacturer() const = 0;
    // The slots token_find lists for the tokens a test made (SoftHSM2 offers one free slot always).
    virtual int slots(int initialized, int uninitialized) const = 0;
    // Whether tries left and maximum tries are told exactly (PKCS#11 tells only "locked").
    virtual bool exactTries() const = 0;
    // Whether a container created without objects outlives the connection.
    virtual bool keepsEmptyContainers() const = 0;
    // The device's own store, for what only the virtual device can do; null elsewhere.
    virtual VirtualTokenBench* virtualDevice() { return nullptr; }
};
