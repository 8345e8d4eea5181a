// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "CertFile.h"
#include "TokenBackend.h"
#include "VToken.h"
#include "VTokenStore.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>

// The token manager's operations on virtual tokens. Arguments arrive checked and copied out of the
// caller's buffers; results go back as values. Not thread-safe by itself: the C boundary serializes.
class VirtualBackend : public TokenBackend
{
public:
    explicit VirtualBackend(const QString& storeFolder);

    quint32 find(int* count) override;
    quint32 connect(int index) override;
    quint32 info(int slot, Info* out) override;
    quint32 features(int slot, quint32* out) override;
    quint32 reload(int slot) override;
    quint32 setLabel(int slot, const QByteArray& label) override;
    quint32 format(int slot, const QByteArray& record) override;
    quint32 writeSectors(int slot, qint64 first, qint64 count, const char* data) override;
    quint32 login(int slot, int pinType, const QByteArray& pin, int* retries) override;
    quint32 logout(int slot) override;
    quint32 pinState(int slot, int pinType, PinState* out) override;
    quint32 changePin(int slot, int pinType, const QByteArray& oldPin, const QByteArray& newPin) override;
    quint32 resetUserPin(int slot, const QByteArray& soPin, const QByteArray& userPin) override;
    quint32 challenge(int slot, QByteArray* out) override;
    quint32 remoteUnlock(int slot, const QByteArray& response) override;
    quint32 unlockResponse(const QByteArray& serial, const QByteArray& challenge, QByteArray* out) override;
    quint32 containerNames(int slot, QList<QByteArray>* out) override;
    quint32 createContainer(int slot, const QByteArray& name) override;
    quint32 deleteContainer(int slot, const QByteArray& name) override;
    quint32 certificate(int slot, const QByteArray& name, int keySpec, QByteArray* der) override;
    quint32 publicKey(int slot, const QByteArray& name, int keySpec, KeyInfo* out) override;
    quint32 privateKey(int slot, const QByteArray& name, int keySpec, KeyInfo* out) override;
    quint32 deleteCertificate(int slot, const QByteArray& name, int keySpec) override;
    quint32 importPkcs12(int slot, const QByteArray& container, int keySpec, int index) override;
    quint32 importPkcs7(int slot, const QByteArray& container, int keySpec, int index) override;
    quint32 importX509(int slot, const QByteArray& container, int keySpec, const QByteArray& path) override;

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
    // Whether a call may change the token: reading calls run on a snapshot without the lock, changing
    // calls run once under it.
    enum class Access
    {
        Read,
        Change
    };
    // Runs `op` on the slot's token. `op` sets `changed` when the token must be written.
    // Faults, removal and failing files are handled here, so every function behaves alike.
    using Op = std::function<quint32(VToken& token, Session& session, bool& changed)>;
    quint32 withToken(int slot, const char* function, Access access, const Op& op);
    quint32 importEntry(int slot, const QByteArray& container, int keySpec, const CertFile::Entry& e,
                        const char* function);
    static quint32 checkPin(VToken::Pin& pin, const QByteArray& value, bool& changed);

    VTokenStore m_store;
    QStringList m_found;
    QList<Session> m_sessions;
};
