// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "CertFile.h"

#include <QByteArray>
#include <QList>

#include <memory>

// What the contract's functions ask of the tokens behind them. The virtual tokens are one backend; a
// real PKCS#11 module can be another. Arguments arrive checked and copied out of the caller's buffers;
// results go back as values and library statuses. Not thread-safe by itself: the C boundary serializes.
class TokenBackend
{
public:
    virtual ~TokenBackend() = default;

    // The backend a module name selects, or none when the name selects no backend. The default names
    // (none, "q7sec_pkcs11.dll", "q7sec_pkcs11.so", "libq7sec_pkcs11.so", "virtual", in any letter
    // case) select the virtual tokens in the store folder.
    static std::unique_ptr<TokenBackend> forModule(const QByteArray& module);
    static bool isVirtualModule(const QByteArray& module);

    struct Info
    {
        QByteArray serial, label, manufacturer, model;
        int maxPinLen = 0, minPinLen = 0, maxSoPinLen = 0, minSoPinLen = 0;
        qint64 totalMemory = 0, freeMemory = 0; // bytes; negative = not reported
        int hardwareVersion = 0, firmwareVersion = 0;
        bool initialized = false, fingerSupport = false;
    };
    struct PinState
    {
        int retriesLeft = 0, maxRetries = 0, minLength = 0, maxLength = 0, locked = 0, loggedIn = 0;
    };
    struct KeyInfo
    {
        int keyType = 0, keyBits = 0;
        QByteArray rawPublicKey;
    };

    // Tokens and their PINs
    virtual quint32 find(int* count) = 0;
    virtual quint32 connect(int index) = 0;
    virtual quint32 info(int slot, Info* out) = 0;
    // The TM_FEATURE_ bits of a connected token; asks the token nothing.
    virtual quint32 features(int slot, quint32* out) = 0;
    virtual quint32 reload(int slot) = 0;
    virtual quint32 setLabel(int slot, const QByteArray& label) = 0;
    virtual quint32 format(int slot, const QByteArray& record) = 0;
    virtual quint32 writeSectors(int slot, qint64 first, qint64 count, const char* data) = 0;
    virtual quint32 login(int slot, int pinType, const QByteArray& pin, int* retries) = 0;
    virtual quint32 logout(int slot) = 0;
    virtual quint32 pinState(int slot, int pinType, PinState* out) = 0;
    virtual quint32 changePin(int slot, int pinType, const QByteArray& oldPin, const QByteArray& newPin) = 0;
    virtual quint32 resetUserPin(int slot, const QByteArray& soPin, const QByteArray& userPin) = 0;
    virtual quint32 challenge(int slot, QByteArray* out) = 0;
    virtual quint32 remoteUnlock(int slot, const QByteArray& response) = 0;
    // The response an administrator computes for a token's challenge, by serial; only a backend that
    // keeps the tokens' unlock keys can.
    virtual quint32 unlockResponse(const QByteArray& serial, const QByteArray& challenge, QByteArray* out);

    // Containers, certificates and keys
    virtual quint32 containerNames(int slot, QList<QByteArray>* out) = 0;
    virtual quint32 createContainer(int slot, const QByteArray& name) = 0;
    virtual quint32 deleteContainer(int slot, const QByteArray& name) = 0;
    virtual quint32 certificate(int slot, const QByteArray& name, int keySpec, QByteArray* der) = 0;
    virtual quint32 publicKey(int slot, const QByteArray& name, int keySpec, KeyInfo* out) = 0;
    virtual quint32 privateKey(int slot, const QByteArray& name, int keySpec, KeyInfo* out) = 0;
    virtual quint32 deleteCertificate(int slot, const QByteArray& name, int keySpec) = 0;

    // Certificate files: the last parsed file of each kind is kept for the calls that follow. Parsing
    // is the same whatever the tokens are, so every backend shares it.
    quint32 parsePkcs12(const QByteArray& path, const QByteArray& password, int* count);
    quint32 parsePkcs7(const QByteArray& path, int* count);
    quint32 pkcs12Kind(int index, CertFile::Entry* entry, int* kind) const;
    quint32 pkcs7Kind(int index, CertFile::Entry* entry, int* kind) const;
    virtual quint32 importPkcs12(int slot, const QByteArray& container, int keySpec, int index) = 0;
    virtual quint32 importPkcs7(int slot, const QByteArray& container, int keySpec, int index) = 0;
    virtual quint32 importX509(int slot, const QByteArray& container, int keySpec,
                               const QByteArray& path) = 0;

    // Limits of the contract
    static constexpr int MaxContainers = 64;
    static constexpr int MaxContainerName = 128;
    static constexpr int MaxLabel = 64;
    static constexpr int MaxCertificate = 16384; // the largest object the token stores

protected:
    // A certificate file read whole: only a regular file, at most CertFile::MaxFileSize bytes.
    static QByteArray readFile(const QByteArray& path, quint32* status);

private:
    QList<CertFile::Entry> m_pkcs12;
    QList<CertFile::Entry> m_pkcs7;
    bool m_pkcs12Parsed = false;
    bool m_pkcs7Parsed = false;
};
