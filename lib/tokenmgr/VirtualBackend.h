#pragma once

#include "CertFile.h"
#include "VToken.h"
#include "VTokenStore.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>

// The token manager's operations on virtual tokens. Arguments arrive checked and copied out of the
// caller's buffers; results go back as values. Not thread-safe by itself: the C boundary serializes.
class VirtualBackend
{
public:
    explicit VirtualBackend(const QString& storeFolder);

    struct Info
    {
        QByteArray serial, label, manufacturer, model;
        int maxPinLen = 0, minPinLen = 0, maxSoPinLen = 0, minSoPinLen = 0;
        qint64 totalMemory = 0, freeMemory = 0;
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

    quint32 find(int* count);
    quint32 connect(int index);
    quint32 info(int slot, Info* out);
    quint32 reload(int slot);
    quint32 setLabel(int slot, const QByteArray& label);
    quint32 format(int slot, const QByteArray& record);
    quint32 writeSectors(int slot, qint64 first, qint64 count, const char* data);

    quint32 login(int slot, int pinType, const QByteArray& pin, int* retries);
    quint32 logout(int slot);
    quint32 pinState(int slot, int pinType, PinState* out);
    quint32 changePin(int slot, int pinType, const QByteArray& oldPin, const QByteArray& newPin);
    quint32 resetUserPin(int slot, const QByteArray& soPin, const QByteArray& userPin);
    quint32 challenge(int slot, QByteArray* out);
    quint32 remoteUnlock(int slot, const QByteArray& response);

    quint32 containerNames(int slot, QList<QByteArray>* out);
    quint32 createContainer(int slot, const QByteArray& name);
    quint32 deleteContainer(int slot, const QByteArray& name);
    quint32 certificate(int slot, const QByteArray& name, int keySpec, QByteArray* der);
    quint32 publicKey(int slot, const QByteArray& name, int keySpec, KeyInfo* out);
    quint32 privateKey(int slot, const QByteArray& name, int keySpec, KeyInfo* out);
    quint32 deleteCertificate(int slot, const QByteArray& name, int keySpec);

    quint32 parsePkcs12(const QByteArray& path, const QByteArray& password, int* count);
    quint32 parsePkcs7(const QByteArray& path, int* count);
    quint32 pkcs12Kind(int index, CertFile::Entry* entry, int* kind) const;
    quint32 pkcs7Kind(int index, CertFile::Entry* entry, int* kind) const;
    quint32 importPkcs12(int slot, const QByteArray& container, int keySpec, int index);
    quint32 importPkcs7(int slot, const QByteArray& container, int keySpec, int index);
    quint32 importX509(int slot, const QByteArray& container, int keySpec, const QByteArray& path);

    static constexpr int MaxContainers = 64;
    static constexpr int MaxContainerName = 128;
    static constexpr int MaxLabel = 64;
    static constexpr int MaxCertificate = 16384; // the largest object the token stores

private:
    struct Session
    {
        QString serial;
        bool connected = false;
        bool removed = false;
        bool user = false;
        bool so = false;
        bool soVerified = false; // SO PIN checked since connect; allows formatting an initialized token
    };
    // Runs `op` on the slot's token under its lock. `op` sets `changed` when the token must be written.
    // Faults, removal and failing files are handled here, so every function behaves alike.
    using Op = std::function<quint32(VToken& token, Session& session, bool& changed)>;
    quint32 withToken(int slot, const char* function, const Op& op);
    quint32 importEntry(int slot, const QByteArray& container, int keySpec, const CertFile::Entry& e,
                        const char* function);
    static quint32 checkPin(VToken::Pin& pin, const QByteArray& value, bool& changed);

    VTokenStore m_store;
    QStringList m_found;
    QList<Session> m_sessions;
    QList<CertFile::Entry> m_pkcs12;
    QList<CertFile::Entry> m_pkcs7;
    bool m_pkcs12Parsed = false;
    bool m_pkcs7Parsed = false;
};
