// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "Pkcs11Module.h"
#include "TokenBackend.h"

#include <QHash>
#include <QList>

// The token manager's operations on the tokens of a PKCS#11 module. Tokens are the slots with a token
// present; containers are the key pairs and certificates sharing one CKA_ID, named by CKA_LABEL (or the
// ID in hexadecimal). What PKCS#11 has no call for answers TM_ERR_NOT_SUPPORTED.
class Pkcs11Backend : public TokenBackend
{
public:
    explicit Pkcs11Backend(std::unique_ptr<Pkcs11Module> module);
    ~Pkcs11Backend() override;

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

    // The contract's status for a PKCS#11 return value.
    static quint32 status(CK_RV rv);

private:
    struct Object
    {
        CK_OBJECT_HANDLE handle = 0;
        CK_OBJECT_CLASS cls = 0;
        QByteArray id, label;
        CK_KEY_TYPE keyType = 0;
        bool exchange = false; // decrypt, unwrap or derive (private key); encrypt or wrap (public key)
    };
    struct Container
    {
        QByteArray name, id;
        bool hasId = false;
        int keySpec = 1;
        QList<Object> objects;
        const Object* first(CK_OBJECT_CLASS cls) const;
    };
    struct Session
    {
        CK_SLOT_ID slotId = 0;
        CK_SESSION_HANDLE handle = CK_INVALID_HANDLE;
        bool loaded = false;
        bool soVerified = false; // SO PIN checked since connect; allows formatting an initialized token
        QList<Container> containers;
        QList<QByteArray> pending;                  // created by name, waiting for their first import
        QHash<QByteArray, QByteArray> certificates; // read since the last load, by container name
        QHash<QByteArray, KeyInfo> keys;            // by container name and object class
    };

    CK_FUNCTION_LIST* f() const { return m_module->f(); }
    Session* session(int slot, quint32* status);
    quint32 load(Session& s);
    const Container* findContainer(Session& s, const QByteArray& name, quint32* status);
    QByteArray attribute(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE o, CK_ATTRIBUTE_TYPE type, CK_RV* rv) const;
    quint32 keyInfo(Session& s, const Container& c, CK_OBJECT_CLASS cls, KeyInfo* out);
    // A key of a container in the slot the caller names, as publicKey and privateKey report it.
    quint32 containerKey(int slot, const QByteArray& name, int keySpec, CK_OBJECT_CLASS keyClass,
                         KeyInfo* out);
    quint32 readKeyInfo(Session& s, const Container& c, CK_OBJECT_CLASS cls, KeyInfo* out);
    quint32 importEntry(int slot, const QByteArray& container, int keySpec, const CertFile::Entry& e);
    void closeSession(Session& s);

    std::unique_ptr<Pkcs11Module> m_module;
    QList<CK_SLOT_ID> m_found;
    QList<Session> m_sessions;
};
