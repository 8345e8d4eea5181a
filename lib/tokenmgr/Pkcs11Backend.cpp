// SPDX-License-Identifier: BSD-3-Clause
#include "Pkcs11Backend.h"

#include "CertInfo.h"
#include "FormatRecord.h"
#include "OpenSslPtr.h"
#include "TokenMgr.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUuid>

#include <openssl/core_names.h>
#include <openssl/objects.h>

#include <cstring>

namespace {

constexpr CK_ULONG MaxObjects = 4096; // objects read per token; the rest are left out of the containers
constexpr CK_ULONG MaxSlots = 1024;   // a module listing more slots answers nonsense
constexpr CK_ULONG MaxAttribute = 1024 * 1024; // longest attribute value read

// The slots with a token, or a status when the module cannot list them sensibly.
CK_RV slotList(CK_FUNCTION_LIST* f, QList<CK_SLOT_ID>* ids)
{
    ids->clear();
    CK_ULONG n = 0;
    CK_RV rv = f->C_GetSlotList(CK_TRUE, nullptr, &n);
    // A token may arrive between the two calls: ask again with the larger list. No token at first is
    // the answer: an empty list would make the second call another size query, leaving IDs unset.
    for (int tries = 0; rv == CKR_OK && n > 0 && tries < 3; ++tries) {
        if (n > MaxSlots)
            return CKR_GENERAL_ERROR;
        ids->resize(qsizetype(n));
        CK_ULONG got = n;
        rv = f->C_GetSlotList(CK_TRUE, ids->data(), &got);
        n = got;
        if (rv != CKR_BUFFER_TOO_SMALL) {
            ids->resize(qsizetype(qMin<CK_ULONG>(got, CK_ULONG(ids->size()))));
            break;
        }
    }
    if (rv != CKR_OK)
        ids->clear();
    return rv;
}

// Names unique within one token: the first holder of a name keeps it, a later one gets " (2)",
// " (3)" ... within the contract's length, never a name another container holds of its own.
QList<QByteArray> uniqueNames(const QList<QByteArray>& wanted)
{
    const QSet<QByteArray> own(wanted.cbegin(), wanted.cend());
    QSet<QByteArray> taken;
    QList<QByteArray> out;
    for (const QByteArray& name : wanted) {
        QByteArray candidate = name;
        for (int n = 2; taken.contains(candidate) || (candidate != name && own.contains(candidate)); ++n) {
            const QByteArray suffix = " (" + QByteArray::number(n) + ')';
            candidate = name.left(TokenBackend::MaxContainerName - suffix.size()) + suffix;
        }
        taken.insert(candidate);
        out.append(candidate);
    }
    return out;
}

QByteArray padded(const CK_UTF8CHAR* text, int size)
{
    QByteArray s(reinterpret_cast<const char*>(text), size);
    while (!s.isEmpty() && (s.endsWith(' ') || s.endsWith('\0')))
        s.chop(1);
    return s;
}

int clampInt(CK_ULONG v)
{
    if (v == CK_UNAVAILABLE_INFORMATION || v == CK_EFFECTIVELY_INFINITE)
        return 0;
    return v > CK_ULONG(INT32_MAX) ? INT32_MAX : int(v);
}

// Private plus public memory in bytes; -1 when the token reports neither.
qint64 memory(CK_ULONG privateBytes, CK_ULONG publicBytes)
{
    const auto unknown = [](CK_ULONG v) { return v == CK_UNAVAILABLE_INFORMATION; };
    if (unknown(privateBytes) && unknown(publicBytes))
        return -1;
    if (privateBytes == CK_EFFECTIVELY_INFINITE || publicBytes == CK_EFFECTIVELY_INFINITE)
        return INT32_MAX;
    return qint64(clampInt(privateBytes)) + qint64(clampInt(publicBytes));
}

// A PIN as PKCS#11 takes it; an empty PIN means the reader's own PIN pad.
CK_UTF8CHAR_PTR pinPtr(const QByteArray& pin)
{
    return pin.isEmpty() ? nullptr : reinterpret_cast<CK_UTF8CHAR_PTR>(const_cast<char*>(pin.constData()));
}

// Attribute templates built from owned bytes, so every pointer stays valid while the template is used.
class Template
{
public:
    void add(CK_ATTRIBUTE_TYPE type, const QByteArray& value)
    {
        m_values.append(value);
        m_types.append(type);
    }
    void add(CK_ATTRIBUTE_TYPE type, CK_ULONG value)
    {
        add(type, QByteArray(reinterpret_cast<const char*>(&value), sizeof(value)));
    }
    void add(CK_ATTRIBUTE_TYPE type, bool value)
    {
        const CK_BBOOL b = value ? CK_TRUE : CK_FALSE;
        add(type, QByteArray(reinterpret_cast<const char*>(&b), sizeof(b)));
    }
    QList<CK_ATTRIBUTE> attributes()
    {
        QList<CK_ATTRIBUTE> out;
        for (qsizetype i = 0; i < m_types.size(); ++i)
            out.append({m_types[i], m_values[i].data(), CK_ULONG(m_values[i].size())});
        return out;
    }
    ~Template()
    {
        for (QByteArray& v : m_values)
            v.fill('\0'); // private key material passes through here
    }

private:
    QList<CK_ATTRIBUTE_TYPE> m_types;
    QList<QByteArray> m_values;
};

QByteArray bnBytes(const EVP_PKEY* key, const char* param, int width = 0)
{
    BIGNUM* raw = nullptr;
    if (!EVP_PKEY_get_bn_param(key, param, &raw))
        return {};
    BnPtr bn(raw);
    const int n = qMax(width, BN_num_bytes(bn.get()));
    QByteArray out(n, '\0');
    BN_bn2binpad(bn.get(), reinterpret_cast<unsigned char*>(out.data()), n);
    return out;
}

// DER of the named curve's object identifier, as CKA_EC_PARAMS holds it.
QByteArray curveParams(const EVP_PKEY* key)
{
    char name[80] = {};
    if (!EVP_PKEY_get_utf8_string_param(key, OSSL_PKEY_PARAM_GROUP_NAME, name, sizeof(name), nullptr))
        return {};
    int nid = OBJ_sn2nid(name);
    if (nid == NID_undef)
        nid = OBJ_ln2nid(name);
    ASN1_OBJECT* obj = OBJ_nid2obj(nid);
    const int len = obj ? i2d_ASN1_OBJECT(obj, nullptr) : 0;
    if (len <= 0)
        return {};
    QByteArray out(len, '\0');
    unsigned char* p = reinterpret_cast<unsigned char*>(out.data());
    i2d_ASN1_OBJECT(obj, &p);
    return out;
}

// The EC point as CKA_EC_POINT holds it: a DER OCTET STRING around the uncompressed point.
QByteArray octetString(const QByteArray& raw)
{
    QByteArray out;
    out.append(char(0x04));
    const int n = int(raw.size());
    if (n < 0x80) {
        out.append(char(n));
    } else if (n < 0x100) {
        out.append(char(0x81));
        out.append(char(n));
    } else {
        out.append(char(0x82));
        out.append(char(n >> 8));
        out.append(char(n & 0xFF));
    }
    return out + raw;
}

QByteArray unwrapOctetString(const QByteArray& der)
{
    if (der.size() < 2 || der[0] != 0x04)
        return der;
    const auto len = static_cast<unsigned char>(der[1]);
    const int head = len < 0x80 ? 2 : 2 + (len & 0x7F);
    return head <= der.size() ? der.mid(head) : der;
}

QByteArray nameDer(const X509_NAME* name)
{
    const int len = i2d_X509_NAME(name, nullptr);
    if (len <= 0)
        return {};
    QByteArray out(len, '\0');
    unsigned char* p = reinterpret_cast<unsigned char*>(out.data());
    i2d_X509_NAME(name, &p);
    return out;
}

int curveBits(const QByteArray& params)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(params.constData());
    OpenSslPtr<ASN1_OBJECT, ASN1_OBJECT_free> obj(d2i_ASN1_OBJECT(nullptr, &p, params.size()));
    if (!obj)
        return 0;
    switch (OBJ_obj2nid(obj.get())) {
    case NID_X9_62_prime256v1:
        return 256;
    case NID_secp384r1:
        return 384;
    case NID_secp521r1:
        return 521;
    case NID_secp256k1:
        return 256;
    default:
        return 0;
    }
}

// Whether the session may change the token's objects: a user login, as on the virtual tokens.
// Whether the session is the user's, or the module's answer when it cannot tell (a token pulled out
// is not a missing login).
CK_RV userSession(CK_FUNCTION_LIST* f, CK_SESSION_HANDLE h, bool* user)
{
    CK_SESSION_INFO si;
    const CK_RV rv = f->C_GetSessionInfo(h, &si);
    *user = rv == CKR_OK && si.state == CKS_RW_USER_FUNCTIONS;
    return rv;
}

} // namespace

Pkcs11Backend::Pkcs11Backend(std::unique_ptr<Pkcs11Module> module) : m_module(std::move(module)) {}

Pkcs11Backend::~Pkcs11Backend()
{
    if (Pkcs11Module::exiting())
        return; // sessions end with the process
    for (Session& s : m_sessions)
        closeSession(s);
}

quint32 Pkcs11Backend::status(CK_RV rv)
{
    switch (rv) {
    case CKR_OK:
        return TM_OK;
    case CKR_PIN_INCORRECT:
    case CKR_PIN_INVALID:
        return TM_ERR_PIN_INCORRECT;
    case CKR_PIN_LOCKED:
        return TM_ERR_PIN_LOCKED;
    case CKR_PIN_LEN_RANGE:
        return TM_ERR_PIN_LEN_RANGE;
    case CKR_DEVICE_REMOVED:
    case CKR_TOKEN_NOT_PRESENT:
    case CKR_TOKEN_NOT_RECOGNIZED:
    case CKR_SESSION_HANDLE_INVALID:
    case CKR_SESSION_CLOSED:
    case CKR_SLOT_ID_INVALID:
        return TM_ERR_TOKEN_REMOVED;
    case CKR_USER_NOT_LOGGED_IN:
        return TM_ERR_NOT_LOGGED_IN;
    case CKR_DEVICE_MEMORY:
        return TM_ERR_NO_SPACE;
    case CKR_FUNCTION_NOT_SUPPORTED:
    case CKR_TOKEN_WRITE_PROTECTED:
        return TM_ERR_NOT_SUPPORTED;
    case CKR_ARGUMENTS_BAD:
    case CKR_TEMPLATE_INCONSISTENT:
    case CKR_ATTRIBUTE_VALUE_INVALID:
        return TM_ERR_ARGUMENTS;
    default:
        return TM_ERR_DEVICE;
    }
}

void Pkcs11Backend::closeSession(Session& s)
{
    if (s.handle != CK_INVALID_HANDLE)
        f()->C_CloseSession(s.handle);
    s.handle = CK_INVALID_HANDLE;
    s.loaded = false;
    s.containers.clear();
}

quint32 Pkcs11Backend::find(int* count)
{
    for (Session& s : m_sessions)
        closeSession(s);
    m_sessions.clear();
    m_found.clear();
    QList<CK_SLOT_ID> ids;
    if (const CK_RV rv = slotList(f(), &ids); rv != CKR_OK)
        return status(rv);
    ids.resize(qMin<qsizetype>(ids.size(), TM_MAX_SLOTS));
    m_found = ids;
    m_sessions.resize(m_found.size());
    *count = int(m_found.size());
    return TM_OK;
}

quint32 Pkcs11Backend::connect(int index)
{
    if (index < 0 || index >= m_found.size())
        return TM_ERR_SLOT;
    Session& s = m_sessions[index];
    closeSession(s);
    s.slotId = m_found[index];
    s.pending.clear();
    s.soVerified = false;
    CK_SESSION_HANDLE h = CK_INVALID_HANDLE;
    CK_RV rv = f()->C_OpenSession(s.slotId, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &h);
    if (rv == CKR_TOKEN_WRITE_PROTECTED)
        rv = f()->C_OpenSession(s.slotId, CKF_SERIAL_SESSION, nullptr, nullptr, &h);
    // A token that is not initialized opens no session on some modules; it still answers for its info.
    if (rv != CKR_OK && rv != CKR_TOKEN_NOT_RECOGNIZED)
        return status(rv);
    s.handle = rv == CKR_OK ? h : CK_INVALID_HANDLE;
    return TM_OK;
}

Pkcs11Backend::Session* Pkcs11Backend::session(int slot, quint32* st)
{
    if (slot < 0 || slot >= m_sessions.size() || m_sessions[slot].slotId != m_found[slot]) {
        *st = TM_ERR_SLOT;
        return nullptr;
    }
    Session* s = &m_sessions[slot];
    if (s->handle == CK_INVALID_HANDLE) {
        CK_SESSION_HANDLE h = CK_INVALID_HANDLE;
        const CK_RV rv =
            f()->C_OpenSession(s->slotId, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &h);
        if (rv != CKR_OK) {
            // A token that is not initialized opens no session on some modules; it is not pulled out.
            CK_TOKEN_INFO ti;
            const bool blank =
                f()->C_GetTokenInfo(s->slotId, &ti) == CKR_OK && !(ti.flags & CKF_TOKEN_INITIALIZED);
            *st = blank ? TM_ERR_NOT_INITIALIZED : status(rv);
            return nullptr;
        }
        s->handle = h;
    } else {
        // Names, certificates and keys are answered from what was read before: only while the token
        // that holds them is still there.
        CK_SESSION_INFO si;
        const CK_RV rv = f()->C_GetSessionInfo(s->handle, &si);
        if (rv != CKR_OK) {
            *st = status(rv);
            return nullptr;
        }
    }
    *st = TM_OK;
    return s;
}

quint32 Pkcs11Backend::features(int slot, quint32* out)
{
    if (slot < 0 || slot >= m_found.size())
        return TM_ERR_SLOT;
    *out = 0; // label, remote unlock, sectors and exact tries have no PKCS#11 call
    return TM_OK;
}

quint32 Pkcs11Backend::info(int slot, Info* out)
{
    if (slot < 0 || slot >= m_found.size())
        return TM_ERR_SLOT;
    CK_TOKEN_INFO ti;
    std::memset(&ti, 0, sizeof(ti));
    const CK_RV rv = f()->C_GetTokenInfo(m_found[slot], &ti);
    if (rv != CKR_OK)
        return status(rv);
    out->serial = padded(ti.serialNumber, sizeof(ti.serialNumber));
    out->label = padded(ti.label, sizeof(ti.label));
    out->manufacturer = padded(ti.manufacturerID, sizeof(ti.manufacturerID));
    out->model = padded(ti.model, sizeof(ti.model));
    out->maxPinLen = out->maxSoPinLen = clampInt(ti.ulMaxPinLen);
    out->minPinLen = out->minSoPinLen = clampInt(ti.ulMinPinLen);
    out->totalMemory = memory(ti.ulTotalPrivateMemory, ti.ulTotalPublicMemory);
    out->freeMemory = memory(ti.ulFreePrivateMemory, ti.ulFreePublicMemory);
    out->hardwareVersion = ti.hardwareVersion.major * 256 + ti.hardwareVersion.minor;
    out->firmwareVersion = ti.firmwareVersion.major * 256 + ti.firmwareVersion.minor;
    out->initialized = (ti.flags & CKF_TOKEN_INITIALIZED) != 0;
    out->fingerSupport = false;
    return TM_OK;
}

QByteArray Pkcs11Backend::attribute(CK_SESSION_HANDLE h, CK_OBJECT_HANDLE o, CK_ATTRIBUTE_TYPE type,
                                    CK_RV* rv) const
{
    CK_ATTRIBUTE a{type, nullptr, 0};
    *rv = f()->C_GetAttributeValue(h, o, &a, 1);
    if (*rv != CKR_OK || a.ulValueLen == CK_UNAVAILABLE_INFORMATION || a.ulValueLen > MaxAttribute)
        return {};
    const CK_ULONG capacity = a.ulValueLen;
    QByteArray v(qsizetype(capacity), '\0');
    a.pValue = v.data();
    *rv = f()->C_GetAttributeValue(h, o, &a, 1);
    // A module that now claims more than the buffer it was given has written nothing more into it.
    if (*rv == CKR_OK && a.ulValueLen > capacity)
        *rv = CKR_GENERAL_ERROR;
    return *rv == CKR_OK ? v.left(qsizetype(a.ulValueLen)) : QByteArray();
}

const Pkcs11Backend::Object* Pkcs11Backend::Container::first(CK_OBJECT_CLASS cls) const
{
    for (const Object& o : objects)
        if (o.cls == cls)
            return &o;
    return nullptr;
}

quint32 Pkcs11Backend::load(Session& s)
{
    if (s.loaded)
        return TM_OK;
    s.containers.clear();
    s.certificates.clear();
    s.keys.clear();
    CK_RV rv = f()->C_FindObjectsInit(s.handle, nullptr, 0);
    if (rv != CKR_OK)
        return status(rv);
    QList<CK_OBJECT_HANDLE> handles;
    QSet<CK_OBJECT_HANDLE> seen;
    // Bounded in rounds too: a module may hand out the same handles for ever.
    for (CK_ULONG round = 0; round < MaxObjects; ++round) {
        CK_OBJECT_HANDLE batch[128] = {};
        CK_ULONG n = 0;
        rv = f()->C_FindObjects(s.handle, batch, 128, &n);
        if (rv != CKR_OK || n == 0)
            break;
        // Never more than the batch holds, and each object once, whatever count the module claims.
        n = qMin<CK_ULONG>(n, 128);
        for (CK_ULONG i = 0; i < n && CK_ULONG(handles.size()) < MaxObjects; ++i)
            if (batch[i] != CK_INVALID_HANDLE && !seen.contains(batch[i])) {
                seen.insert(batch[i]);
                handles.append(batch[i]);
            }
        if (CK_ULONG(handles.size()) >= MaxObjects)
            break;
    }
    f()->C_FindObjectsFinal(s.handle);
    if (rv != CKR_OK)
        return status(rv);

    QHash<QByteArray, int> byId;
    for (CK_OBJECT_HANDLE h : handles) {
        Object o;
        o.handle = h;
        CK_BBOOL decrypt = CK_FALSE, unwrap = CK_FALSE, derive = CK_FALSE, encrypt = CK_FALSE,
                 wrap = CK_FALSE;
        CK_CERTIFICATE_TYPE certType = CKC_X_509;
        o.cls = CK_OBJECT_CLASS(-1);
        char id[256], label[256];
        // One query per object: attributes the object lacks come back unavailable and keep their
        // defaults; an ID or label longer than the buffers is read on its own.
        CK_ATTRIBUTE a[] = {{CKA_CLASS, &o.cls, sizeof(o.cls)},
                            {CKA_ID, id, sizeof(id)},
                            {CKA_LABEL, label, sizeof(label)},
                            {CKA_CERTIFICATE_TYPE, &certType, sizeof(certType)},
                            {CKA_KEY_TYPE, &o.keyType, sizeof(o.keyType)},
                            {CKA_DECRYPT, &decrypt, sizeof(decrypt)},
                            {CKA_UNWRAP, &unwrap, sizeof(unwrap)},
                            {CKA_DERIVE, &derive, sizeof(derive)},
                            {CKA_ENCRYPT, &encrypt, sizeof(encrypt)},
                            {CKA_WRAP, &wrap, sizeof(wrap)}};
        rv = f()->C_GetAttributeValue(s.handle, h, a, CK_ULONG(std::size(a)));
        if (rv == CKR_OBJECT_HANDLE_INVALID)
            continue; // destroyed by someone else meanwhile
        if (rv != CKR_OK && rv != CKR_ATTRIBUTE_TYPE_INVALID && rv != CKR_ATTRIBUTE_SENSITIVE &&
            rv != CKR_BUFFER_TOO_SMALL)
            return status(rv);
        if (a[0].ulValueLen != sizeof(o.cls) ||
            (o.cls != CKO_CERTIFICATE && o.cls != CKO_PRIVATE_KEY && o.cls != CKO_PUBLIC_KEY))
            continue;
        // A value the buffer did not hold is read on its own: modules answer a too-small buffer with
        // CKR_ATTRIBUTE_TYPE_INVALID as well when another attribute of the query is missing. A length
        // beyond the buffer is never read from it.
        const auto text = [&](const CK_ATTRIBUTE& at, size_t capacity) {
            if (at.ulValueLen == CK_UNAVAILABLE_INFORMATION || at.ulValueLen > capacity) {
                CK_RV again = CKR_OK;
                return attribute(s.handle, h, at.type, &again);
            }
            return QByteArray(static_cast<const char*>(at.pValue), qsizetype(at.ulValueLen));
        };
        o.id = text(a[1], sizeof(id));
        o.label = text(a[2], sizeof(label));
        if (o.cls == CKO_CERTIFICATE) {
            if (a[3].ulValueLen == sizeof(certType) && certType != CKC_X_509)
                continue;
        } else {
            const auto flag = [](const CK_ATTRIBUTE& at) {
                return at.ulValueLen == sizeof(CK_BBOOL) && *static_cast<CK_BBOOL*>(at.pValue) == CK_TRUE;
            };
            decrypt = flag(a[5]);
            unwrap = flag(a[6]);
            derive = flag(a[7]);
            encrypt = flag(a[8]);
            wrap = flag(a[9]);
            o.exchange =
                o.cls == CKO_PRIVATE_KEY ? (decrypt || unwrap || derive) : (encrypt || wrap || derive);
        }
        // Objects sharing an ID make one container. An object without an ID stands alone: grouping
        // such objects by label would hide all but one of them and delete them together.
        const bool hasId = !o.id.isEmpty();
        int at = hasId ? byId.value(o.id, -1) : -1;
        if (at < 0) {
            Container c;
            c.id = o.id;
            c.hasId = hasId;
            at = int(s.containers.size());
            s.containers.append(c);
            if (hasId)
                byId.insert(o.id, at);
        }
        s.containers[at].objects.append(o);
    }

    // Names: the private key's label, else the first label, else the ID in hexadecimal, else the
    // object's handle; a name already taken or unfit for the contract is made unique.
    QList<QByteArray> wanted;
    const auto fit = [](const QByteArray& n) {
        return !n.isEmpty() && n.size() <= MaxContainerName && !n.contains('\0');
    };
    for (Container& c : s.containers) {
        const Object* pri = c.first(CKO_PRIVATE_KEY);
        const Object* pub = c.first(CKO_PUBLIC_KEY);
        c.keySpec = pri ? (pri->exchange ? TM_KEYSPEC_EXCHANGE : TM_KEYSPEC_SIGNATURE)
                        : (pub && !pub->exchange ? TM_KEYSPEC_SIGNATURE : TM_KEYSPEC_EXCHANGE);
        QByteArray name;
        if (pri)
            name = pri->label;
        for (const Object& o : c.objects)
            if (!fit(name))
                name = o.label;
        if (!fit(name) && c.hasId)
            name = c.id.size() * 2 <= MaxContainerName
                       ? c.id.toHex()
                       : "id-" + QCryptographicHash::hash(c.id, QCryptographicHash::Sha256).toHex();
        if (!fit(name))
            name = QByteArray("object-") + QByteArray::number(c.objects[0].handle);
        wanted.append(name);
    }
    const QList<QByteArray> names = uniqueNames(wanted);
    for (qsizetype i = 0; i < s.containers.size(); ++i)
        s.containers[i].name = names[i];
    s.loaded = true;
    return TM_OK;
}

quint32 Pkcs11Backend::reload(int slot)
{
    quint32 st = TM_OK;
    Session* s = session(slot, &st);
    if (!s)
        return st;
    s->loaded = false;
    return load(*s);
}

quint32 Pkcs11Backend::setLabel(int, const QByteArray&)
{
    return TM_ERR_NOT_SUPPORTED; // PKCS#11 sets a label only by initializing the token
}

quint32 Pkcs11Backend::writeSectors(int, qint64, qint64, const char*)
{
    return TM_ERR_NOT_SUPPORTED;
}

quint32 Pkcs11Backend::challenge(int, QByteArray*)
{
    return TM_ERR_NOT_SUPPORTED;
}

quint32 Pkcs11Backend::remoteUnlock(int, const QByteArray&)
{
    return TM_ERR_NOT_SUPPORTED;
}

quint32 Pkcs11Backend::login(int slot, int pinType, const QByteArray& pin, int* retries)
{
    *retries = TM_RETRIES_UNKNOWN;
    quint32 st = TM_OK;
    Session* s = session(slot, &st);
    if (!s)
        return st;
    CK_TOKEN_INFO ti;
    std::memset(&ti, 0, sizeof(ti));
    CK_RV rv = f()->C_GetTokenInfo(s->slotId, &ti);
    if (rv != CKR_OK)
        return status(rv);
    if (!(ti.flags & CKF_TOKEN_INITIALIZED))
        return TM_ERR_NOT_INITIALIZED;
    if (pin.isEmpty() && !(ti.flags & CKF_PROTECTED_AUTHENTICATION_PATH))
        return TM_ERR_NO_SENSOR;
    // A PIN outside the token's lengths cannot be right: refuse it before it costs a try.
    const int minLen = clampInt(ti.ulMinPinLen), maxLen = clampInt(ti.ulMaxPinLen);
    if (!pin.isEmpty() && (pin.size() < minLen || (maxLen > 0 && pin.size() > maxLen))) {
        PinState ps;
        if (pinState(slot, pinType, &ps) == TM_OK)
            *retries = ps.locked ? 0 : ps.retriesLeft;
        return TM_ERR_PIN_LEN_RANGE;
    }
    // One login at a time on a token: a user login ends an SO login and the other way round.
    f()->C_Logout(s->handle);
    s->loaded = false;
    rv = f()->C_Login(s->handle, pinType == TM_PIN_SO ? CKU_SO : CKU_USER, pinPtr(pin), CK_ULONG(pin.size()));
    if (rv == CKR_USER_ALREADY_LOGGED_IN)
        rv = CKR_OK;
    if (rv == CKR_OK) {
        if (pinType == TM_PIN_SO)
            s->soVerified = true;
        return TM_OK;
    }
    PinState ps;
    if (pinState(slot, pinType, &ps) == TM_OK)
        *retries = ps.locked ? 0 : ps.retriesLeft;
    if (rv == CKR_PIN_LOCKED)
        *retries = 0;
    return status(rv);
}

quint32 Pkcs11Backend::logout(int slot)
{
    quint32 st = TM_OK;
    Session* s = session(slot, &st);
    if (!s)
        return st;
    const CK_RV rv = f()->C_Logout(s->handle);
    s->loaded = false;
    return rv == CKR_USER_NOT_LOGGED_IN ? TM_OK : status(rv);
}

quint32 Pkcs11Backend::pinState(int slot, int pinType, PinState* out)
{
    if (slot < 0 || slot >= m_found.size())
        return TM_ERR_SLOT;
    CK_TOKEN_INFO ti;
    std::memset(&ti, 0, sizeof(ti));
    const CK_RV rv = f()->C_GetTokenInfo(m_found[slot], &ti);
    if (rv != CKR_OK)
        return status(rv);
    const bool so = pinType == TM_PIN_SO;
    const CK_FLAGS locked = so ? CKF_SO_PIN_LOCKED : CKF_USER_PIN_LOCKED;
    const CK_FLAGS finalTry = so ? CKF_SO_PIN_FINAL_TRY : CKF_USER_PIN_FINAL_TRY;
    // PKCS#11 tells no counts: only locked, the final try, or "fewer than the maximum".
    out->maxRetries = TM_RETRIES_UNKNOWN;
    out->retriesLeft = (ti.flags & locked) ? 0 : (ti.flags & finalTry) ? 1 : TM_RETRIES_UNKNOWN;
    out->locked = (ti.flags & locked) ? 1 : 0;
    out->minLength = clampInt(ti.ulMinPinLen);
    out->maxLength = clampInt(ti.ulMaxPinLen);
    out->loggedIn = 0;
    if (slot < m_sessions.size() && m_sessions[slot].handle != CK_INVALID_HANDLE) {
        CK_SESSION_INFO si;
        if (f()->C_GetSessionInfo(m_sessions[slot].handle, &si) == CKR_OK)
            out->loggedIn = so ? si.state == CKS_RW_SO_FUNCTIONS
                               : (si.state == CKS_RW_USER_FUNCTIONS || si.state == CKS_RO_USER_FUNCTIONS);
    }
    return TM_OK;
}

quint32 Pkcs11Backend::changePin(int slot, int pinType, const QByteArray& oldPin, const QByteArray& newPin)
{
    quint32 st = TM_OK;
    Session* s = session(slot, &st);
    if (!s)
        return st;
    const auto set = [&] {
        return f()->C_SetPIN(s->handle, pinPtr(oldPin), CK_ULONG(oldPin.size()), pinPtr(newPin),
                             CK_ULONG(newPin.size()));
    };
    CK_RV rv = CKR_OK;
    if (pinType == TM_PIN_SO) {
        // C_SetPIN changes the SO PIN only in an SO session.
        f()->C_Logout(s->handle);
        s->loaded = false;
        rv = f()->C_Login(s->handle, CKU_SO, pinPtr(oldPin), CK_ULONG(oldPin.size()));
        if (rv == CKR_OK) {
            rv = set();
            f()->C_Logout(s->handle);
        }
        return status(rv);
    }
    CK_SESSION_INFO si;
    if (f()->C_GetSessionInfo(s->handle, &si) == CKR_OK && si.state == CKS_RW_SO_FUNCTIONS) {
        f()->C_Logout(s->handle);
        s->loaded = false;
    }
    return status(set());
}

quint32 Pkcs11Backend::resetUserPin(int slot, const QByteArray& soPin, const QByteArray& userPin)
{
    quint32 st = TM_OK;
    Session* s = session(slot, &st);
    if (!s)
        return st;
    f()->C_Logout(s->handle);
    s->loaded = false;
    CK_RV rv = f()->C_Login(s->handle, CKU_SO, pinPtr(soPin), CK_ULONG(soPin.size()));
    if (rv == CKR_OK) {
        rv = f()->C_InitPIN(s->handle, pinPtr(userPin), CK_ULONG(userPin.size()));
        f()->C_Logout(s->handle);
    }
    return status(rv);
}

quint32 Pkcs11Backend::format(int slot, const QByteArray& record)
{
    if (slot < 0 || slot >= m_found.size() || record.size() < TM_FORMAT_RECORD_SIZE)
        return TM_ERR_SLOT;
    FormatRecord r;
    if (const quint32 st = r.read(record); st != TM_OK)
        return st;
    // The module keeps its own tries and lengths; the record is still checked as on any token.
    QByteArray label = r.label;
    const QByteArray& soPin = r.soPin;
    const QByteArray& userPin = r.userPin;
    Session& s = m_sessions[slot];
    CK_TOKEN_INFO before;
    CK_RV rv = f()->C_GetTokenInfo(m_found[slot], &before);
    if (rv != CKR_OK || ((before.flags & CKF_TOKEN_INITIALIZED) && !s.soVerified))
        return rv != CKR_OK ? status(rv) : TM_ERR_SO_NOT_LOGGED_IN;
    s.soVerified = false; // formatting ends the SO authority, whatever its outcome
    // C_InitToken refuses while this application holds a session on the token.
    closeSession(s);
    label.append(QByteArray(32 - label.size(), ' '));
    rv = f()->C_InitToken(s.slotId, pinPtr(soPin), CK_ULONG(soPin.size()),
                          reinterpret_cast<CK_UTF8CHAR_PTR>(label.data()));
    if (rv == CKR_OK) {
        // Some modules move a freshly initialized token to a new slot: follow it by its label.
        CK_SESSION_HANDLE h = CK_INVALID_HANDLE;
        rv = f()->C_OpenSession(s.slotId, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &h);
        if (rv != CKR_OK) {
            QList<CK_SLOT_ID> ids;
            if (slotList(f(), &ids) == CKR_OK) {
                for (qsizetype i = 0; i < ids.size() && rv != CKR_OK; ++i) {
                    CK_TOKEN_INFO ti;
                    if (m_found.contains(ids[i]) || f()->C_GetTokenInfo(ids[i], &ti) != CKR_OK ||
                        std::memcmp(ti.label, label.constData(), 32) != 0)
                        continue;
                    rv =
                        f()->C_OpenSession(ids[i], CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &h);
                    if (rv == CKR_OK)
                        s.slotId = m_found[slot] = ids[i];
                }
            }
        }
        if (rv == CKR_OK) {
            s.handle = h;
            rv = f()->C_Login(h, CKU_SO, pinPtr(soPin), CK_ULONG(soPin.size()));
            if (rv == CKR_OK) {
                rv = f()->C_InitPIN(h, pinPtr(userPin), CK_ULONG(userPin.size()));
                f()->C_Logout(h);
            }
        }
    }
    return status(rv);
}

const Pkcs11Backend::Container* Pkcs11Backend::findContainer(Session& s, const QByteArray& name, quint32* st)
{
    *st = load(s);
    if (*st != TM_OK)
        return nullptr;
    for (const Container& c : s.containers)
        if (c.name == name)
            return &c;
    *st = TM_ERR_NOT_FOUND;
    return nullptr;
}

quint32 Pkcs11Backend::containerNames(int slot, QList<QByteArray>* out)
{
    quint32 st = TM_OK;
    Session* s = session(slot, &st);
    if (!s)
        return st;
    st = load(*s);
    if (st != TM_OK)
        return st;
    out->clear();
    for (const Container& c : s->containers)
        out->append(c.name);
    for (const QByteArray& p : s->pending)
        if (!out->contains(p))
            out->append(p);
    return TM_OK;
}

quint32 Pkcs11Backend::createContainer(int slot, const QByteArray& name)
{
    quint32 st = TM_OK;
    Session* s = session(slot, &st);
    if (!s)
        return st;
    if (name.isEmpty() || name.size() > MaxContainerName)
        return TM_ERR_NAME;
    bool user = false;
    if (const CK_RV rv = userSession(f(), s->handle, &user); rv != CKR_OK)
        return status(rv);
    if (!user)
        return TM_ERR_NOT_LOGGED_IN;
    QList<QByteArray> names;
    st = containerNames(slot, &names);
    if (st != TM_OK)
        return st;
    if (names.contains(name))
        return TM_ERR_EXISTS;
    // PKCS#11 has no empty container: the name waits here for the first object written under it.
    s->pending.append(name);
    return TM_OK;
}

quint32 Pkcs11Backend::deleteContainer(int slot, const QByteArray& name)
{
    quint32 st = TM_OK;
    Session* s = session(slot, &st);
    if (!s)
        return st;
    // A public session may destroy public objects: without this the key pair would stay behind.
    bool user = false;
    if (const CK_RV rv = userSession(f(), s->handle, &user); rv != CKR_OK)
        return status(rv);
    if (!user)
        return TM_ERR_NOT_LOGGED_IN;
    if (s->pending.removeAll(name) > 0)
        return TM_OK;
    const Container* c = findContainer(*s, name, &st);
    if (!c)
        return st;
    // The objects the listing shows for the container: its certificate and its key pair. Another
    // certificate or key sharing the ID was never shown, so it is not destroyed unseen.
    CK_RV rv = CKR_OK;
    for (CK_OBJECT_CLASS cls : {CKO_CERTIFICATE, CKO_PUBLIC_KEY, CKO_PRIVATE_KEY}) {
        const Object* o = c->first(cls);
        rv = o ? f()->C_DestroyObject(s->handle, o->handle) : CKR_OK;
        if (rv != CKR_OK && rv != CKR_OBJECT_HANDLE_INVALID)
            break;
        rv = CKR_OK;
    }
    s->loaded = false;
    return status(rv);
}

quint32 Pkcs11Backend::certificate(int slot, const QByteArray& name, int keySpec, QByteArray* der)
{
    quint32 st = TM_OK;
    Session* s = session(slot, &st);
    if (!s)
        return st;
    const Container* c = findContainer(*s, name, &st);
    if (!c)
        return st;
    const Object* cert = c->first(CKO_CERTIFICATE);
    if (!cert || c->keySpec != keySpec)
        return TM_ERR_NOT_FOUND;
    if (const auto it = s->certificates.constFind(name); it != s->certificates.cend()) {
        *der = *it;
        return TM_OK;
    }
    CK_RV rv = CKR_OK;
    *der = attribute(s->handle, cert->handle, CKA_VALUE, &rv);
    if (rv != CKR_OK)
        return status(rv);
    if (der->isEmpty())
        return TM_ERR_CERTIFICATE;
    s->certificates.insert(name, *der);
    return TM_OK;
}

quint32 Pkcs11Backend::keyInfo(Session& s, const Container& c, CK_OBJECT_CLASS cls, KeyInfo* out)
{
    // The tree asks for both halves of every container: read each once per load.
    const QByteArray cacheKey = c.name + '\0' + QByteArray::number(qulonglong(cls));
    if (const auto it = s.keys.constFind(cacheKey); it != s.keys.cend()) {
        *out = *it;
        return TM_OK;
    }
    const quint32 st = readKeyInfo(s, c, cls, out);
    if (st == TM_OK)
        s.keys.insert(cacheKey, *out);
    return st;
}

quint32 Pkcs11Backend::readKeyInfo(Session& s, const Container& c, CK_OBJECT_CLASS cls, KeyInfo* out)
{
    const Object* pub = c.first(CKO_PUBLIC_KEY);
    const Object* pri = c.first(CKO_PRIVATE_KEY);
    const Object* cert = c.first(CKO_CERTIFICATE);
    // The public half is known from a public key object, the certificate or the private key's own
    // public attributes; the private half only from a private key object.
    if (cls == CKO_PRIVATE_KEY ? !pri : !(pub || cert || pri))
        return TM_ERR_NOT_FOUND;
    CK_RV rv = CKR_OK;
    // The certificate tells the public key most reliably; key objects answer when there is none.
    if (cert) {
        CertInfo info;
        const QByteArray der = s.certificates.contains(c.name)
                                   ? s.certificates.value(c.name)
                                   : attribute(s.handle, cert->handle, CKA_VALUE, &rv);
        if (status(rv) == TM_ERR_TOKEN_REMOVED)
            return TM_ERR_TOKEN_REMOVED;
        if (CertInfo::fromDer(der, &info)) {
            out->keyType = info.keyType;
            out->keyBits = info.keyBits;
            out->rawPublicKey = info.rawPublicKey;
            return TM_OK;
        }
    }
    const Object* src = pub ? pub : pri;
    if (!src)
        return TM_ERR_CERTIFICATE; // a certificate alone, and not one that can be read
    out->keyType = int(src->keyType);
    if (src->keyType == CKK_RSA) {
        QByteArray n = attribute(s.handle, src->handle, CKA_MODULUS, &rv);
        while (n.startsWith('\0'))
            n.remove(0, 1);
        out->keyBits = int(n.size() * 8);
        out->rawPublicKey = n;
    } else if (src->keyType == CKK_EC) {
        out->keyBits = curveBits(attribute(s.handle, src->handle, CKA_EC_PARAMS, &rv));
        // A private key tells its point through CKA_EC_POINT on some modules, through the public key
        // info on others.
        CK_RV pointRv = CKR_OK;
        out->rawPublicKey = unwrapOctetString(attribute(s.handle, src->handle, CKA_EC_POINT, &pointRv));
        if (out->rawPublicKey.isEmpty() && src == pri)
            out->rawPublicKey =
                CertInfo::rawKeyFromSpki(attribute(s.handle, src->handle, CKA_PUBLIC_KEY_INFO, &pointRv));
        if (status(pointRv) == TM_ERR_TOKEN_REMOVED)
            rv = pointRv;
    }
    if (status(rv) == TM_ERR_TOKEN_REMOVED)
        return TM_ERR_TOKEN_REMOVED; // a key the token no longer answers for is not half reported
    // Without a public key object the private key stands in only when it tells its public value.
    if (cls == CKO_PUBLIC_KEY && !pub && out->rawPublicKey.isEmpty())
        return TM_ERR_NOT_FOUND;
    return TM_OK;
}

quint32 Pkcs11Backend::publicKey(int slot, const QByteArray& name, int keySpec, KeyInfo* out)
{
    return containerKey(slot, name, keySpec, CKO_PUBLIC_KEY, out);
}

quint32 Pkcs11Backend::privateKey(int slot, const QByteArray& name, int keySpec, KeyInfo* out)
{
    return containerKey(slot, name, keySpec, CKO_PRIVATE_KEY, out);
}

quint32 Pkcs11Backend::containerKey(int slot, const QByteArray& name, int keySpec, CK_OBJECT_CLASS keyClass,
                                    KeyInfo* out)
{
    quint32 st = TM_OK;
    Session* s = session(slot, &st);
    if (!s)
        return st;
    const Container* c = findContainer(*s, name, &st);
    if (!c)
        return st;
    if (c->keySpec != keySpec)
        return TM_ERR_NOT_FOUND;
    return keyInfo(*s, *c, keyClass, out);
}

quint32 Pkcs11Backend::deleteCertificate(int slot, const QByteArray& name, int keySpec)
{
    quint32 st = TM_OK;
    Session* s = session(slot, &st);
    if (!s)
        return st;
    bool user = false;
    if (const CK_RV rv = userSession(f(), s->handle, &user); rv != CKR_OK)
        return status(rv);
    if (!user)
        return TM_ERR_NOT_LOGGED_IN;
    const Container* c = findContainer(*s, name, &st);
    if (!c)
        return st;
    const Object* cert = c->first(CKO_CERTIFICATE);
    if (c->keySpec != keySpec || !cert)
        return TM_ERR_NOT_FOUND;
    // Only the certificate the listing shows goes: its key pair may get a renewed certificate.
    CK_RV rv = f()->C_DestroyObject(s->handle, cert->handle);
    if (rv == CKR_OBJECT_HANDLE_INVALID)
        rv = CKR_OK; // someone else destroyed it meanwhile
    s->loaded = false;
    return status(rv);
}

quint32 Pkcs11Backend::importPkcs12(int slot, const QByteArray& container, int keySpec, int index)
{
    CertFile::Entry e;
    const quint32 r = pkcs12Kind(index, &e, nullptr);
    return r != TM_OK ? r : importEntry(slot, container, keySpec, e);
}

quint32 Pkcs11Backend::importPkcs7(int slot, const QByteArray& container, int keySpec, int index)
{
    CertFile::Entry e;
    const quint32 r = pkcs7Kind(index, &e, nullptr);
    return r != TM_OK ? r : importEntry(slot, container, keySpec, e);
}

quint32 Pkcs11Backend::importX509(int slot, const QByteArray& container, int keySpec, const QByteArray& path)
{
    quint32 st = TM_OK;
    const QByteArray bytes = readFile(path, &st);
    if (st != TM_OK)
        return st;
    CertFile::Entry e;
    st = CertFile::parseX509(bytes, &e);
    return st != TM_OK ? st : importEntry(slot, container, keySpec, e);
}

quint32 Pkcs11Backend::importEntry(int slot, const QByteArray& name, int keySpec, const CertFile::Entry& e)
{
    if (keySpec != TM_KEYSPEC_EXCHANGE && keySpec != TM_KEYSPEC_SIGNATURE)
        return TM_ERR_ARGUMENTS;
    if (e.certificate.size() > MaxCertificate)
        return TM_ERR_CERT_TOO_LARGE;
    quint32 st = TM_OK;
    Session* s = session(slot, &st);
    if (!s)
        return st;
    CK_SESSION_INFO si;
    CK_RV rv = f()->C_GetSessionInfo(s->handle, &si);
    if (rv != CKR_OK)
        return status(rv);
    if (si.state != CKS_RW_USER_FUNCTIONS)
        return TM_ERR_NOT_LOGGED_IN;
    st = load(*s);
    if (st != TM_OK)
        return st;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(e.certificate.constData());
    X509Ptr x509(d2i_X509(nullptr, &p, e.certificate.size()));
    CertInfo info;
    if (!x509 || !CertInfo::fromDer(e.certificate, &info))
        return TM_ERR_CERTIFICATE;

    // The container's ID: the one it has, else the SHA-1 of the public key value, as other tools do.
    const Container* existing = nullptr;
    for (const Container& c : s->containers)
        if (c.name == name)
            existing = &c;
    if (!existing && !s->pending.contains(name))
        return TM_ERR_NOT_FOUND;
    QByteArray id = QCryptographicHash::hash(info.rawPublicKey, QCryptographicHash::Sha1);
    // A new container never joins the objects of another one that holds the same key.
    for (const Container& c : s->containers)
        if (!existing && c.hasId && c.id == id)
            id = QUuid::createUuid().toRfc4122();
    // A key pair left by a deleted certificate takes a certificate for the same key and usage only.
    const bool havePublic = existing && existing->first(CKO_PUBLIC_KEY);
    const bool havePrivate = existing && existing->first(CKO_PRIVATE_KEY);
    if (existing) {
        if (existing->first(CKO_CERTIFICATE))
            return TM_ERR_EXISTS; // an import never overwrites a certificate
        if (havePublic || havePrivate) {
            KeyInfo held;
            st = readKeyInfo(*s, *existing, CKO_PUBLIC_KEY, &held);
            if (st == TM_ERR_TOKEN_REMOVED)
                return st;
            if (existing->keySpec != keySpec || (st == TM_OK && held.rawPublicKey != info.rawPublicKey))
                return TM_ERR_EXISTS;
        }
        if (existing->hasId)
            id = existing->id;
    }
    const bool exchange = keySpec == TM_KEYSPEC_EXCHANGE;
    const bool ec = info.keyType == TM_KEYTYPE_EC;
    QList<CK_OBJECT_HANDLE> created;
    // `optionalLast`: the template's last attribute is left out for a module that does not know it.
    const auto create = [&](Template& t, bool optionalLast = false) {
        QList<CK_ATTRIBUTE> a = t.attributes();
        CK_OBJECT_HANDLE h = CK_INVALID_HANDLE;
        rv = f()->C_CreateObject(s->handle, a.data(), CK_ULONG(a.size()), &h);
        if (rv == CKR_ATTRIBUTE_TYPE_INVALID && optionalLast)
            rv = f()->C_CreateObject(s->handle, a.data(), CK_ULONG(a.size() - 1), &h);
        if (rv == CKR_OK)
            created.append(h);
        return rv == CKR_OK;
    };
    const QByteArray subject = nameDer(X509_get_subject_name(x509.get()));

    Template cert;
    cert.add(CKA_CLASS, CK_ULONG(CKO_CERTIFICATE));
    cert.add(CKA_CERTIFICATE_TYPE, CK_ULONG(CKC_X_509));
    cert.add(CKA_TOKEN, true);
    cert.add(CKA_PRIVATE, false);
    cert.add(CKA_ID, id);
    cert.add(CKA_LABEL, name);
    cert.add(CKA_SUBJECT, subject);
    cert.add(CKA_ISSUER, nameDer(X509_get_issuer_name(x509.get())));
    {
        const ASN1_INTEGER* serial = X509_get0_serialNumber(x509.get());
        const int len = i2d_ASN1_INTEGER(serial, nullptr);
        QByteArray der(qMax(len, 0), '\0');
        unsigned char* q = reinterpret_cast<unsigned char*>(der.data());
        if (len > 0)
            i2d_ASN1_INTEGER(serial, &q);
        cert.add(CKA_SERIAL_NUMBER, der);
    }
    cert.add(CKA_VALUE, e.certificate);
    bool ok = create(cert);

    // The public key object carries the usage: with a private key, and alone for a certificate without
    // one, so the container reads back as it was imported.
    const auto addPublic = [&](Template& pub, const EVP_PKEY* key) {
        pub.add(CKA_CLASS, CK_ULONG(CKO_PUBLIC_KEY));
        pub.add(CKA_KEY_TYPE, CK_ULONG(ec ? CKK_EC : CKK_RSA));
        pub.add(CKA_TOKEN, true);
        pub.add(CKA_ID, id);
        pub.add(CKA_LABEL, name);
        pub.add(CKA_SUBJECT, subject);
        pub.add(CKA_PRIVATE, false);
        pub.add(CKA_VERIFY, true);
        if (ec) {
            pub.add(CKA_EC_PARAMS, curveParams(key));
            pub.add(CKA_EC_POINT, octetString(info.rawPublicKey));
            pub.add(CKA_DERIVE, exchange);
            pub.add(CKA_ENCRYPT, false);
            pub.add(CKA_WRAP, false);
        } else {
            pub.add(CKA_MODULUS, bnBytes(key, OSSL_PKEY_PARAM_RSA_N));
            pub.add(CKA_PUBLIC_EXPONENT, bnBytes(key, OSSL_PKEY_PARAM_RSA_E));
            pub.add(CKA_ENCRYPT, exchange);
            pub.add(CKA_WRAP, exchange);
        }
    };
    if (ok && !e.privateKey.isEmpty() && !havePrivate) {
        const unsigned char* k = reinterpret_cast<const unsigned char*>(e.privateKey.constData());
        P8Ptr p8(d2i_PKCS8_PRIV_KEY_INFO(nullptr, &k, e.privateKey.size()));
        KeyPtr key(p8 ? EVP_PKCS82PKEY(p8.get()) : nullptr);
        const int type = key ? EVP_PKEY_get_base_id(key.get()) : 0;
        if (type != EVP_PKEY_RSA && type != EVP_PKEY_EC) {
            rv = CKR_KEY_TYPE_INCONSISTENT;
            ok = false;
        } else {
            Template pri, pub;
            pri.add(CKA_CLASS, CK_ULONG(CKO_PRIVATE_KEY));
            pri.add(CKA_KEY_TYPE, CK_ULONG(ec ? CKK_EC : CKK_RSA));
            pri.add(CKA_TOKEN, true);
            pri.add(CKA_ID, id);
            pri.add(CKA_LABEL, name);
            pri.add(CKA_SUBJECT, subject);
            pri.add(CKA_PRIVATE, true);
            pri.add(CKA_SENSITIVE, true);
            pri.add(CKA_EXTRACTABLE, false);
            pri.add(CKA_SIGN, true);
            if (ec) {
                pri.add(CKA_EC_PARAMS, curveParams(key.get()));
                pri.add(CKA_VALUE, bnBytes(key.get(), OSSL_PKEY_PARAM_PRIV_KEY, (info.keyBits + 7) / 8));
                pri.add(CKA_DERIVE, exchange);
                // Modules default these to true; an EC key decrypts nothing here.
                pri.add(CKA_DECRYPT, false);
                pri.add(CKA_UNWRAP, false);
            } else {
                pri.add(CKA_MODULUS, bnBytes(key.get(), OSSL_PKEY_PARAM_RSA_N));
                pri.add(CKA_PUBLIC_EXPONENT, bnBytes(key.get(), OSSL_PKEY_PARAM_RSA_E));
                pri.add(CKA_PRIVATE_EXPONENT, bnBytes(key.get(), OSSL_PKEY_PARAM_RSA_D));
                pri.add(CKA_PRIME_1, bnBytes(key.get(), OSSL_PKEY_PARAM_RSA_FACTOR1));
                pri.add(CKA_PRIME_2, bnBytes(key.get(), OSSL_PKEY_PARAM_RSA_FACTOR2));
                pri.add(CKA_EXPONENT_1, bnBytes(key.get(), OSSL_PKEY_PARAM_RSA_EXPONENT1));
                pri.add(CKA_EXPONENT_2, bnBytes(key.get(), OSSL_PKEY_PARAM_RSA_EXPONENT2));
                pri.add(CKA_COEFFICIENT, bnBytes(key.get(), OSSL_PKEY_PARAM_RSA_COEFFICIENT1));
                pri.add(CKA_DECRYPT, exchange);
                pri.add(CKA_UNWRAP, exchange);
            }
            // The public value on the private key too, so the key pair stays known without its
            // public key object.
            pri.add(CKA_PUBLIC_KEY_INFO, info.publicKey);
            addPublic(pub, key.get());
            ok = create(pri, true) && (havePublic || create(pub));
        }
    } else if (ok && !havePublic) {
        const EVP_PKEY* key = X509_get0_pubkey(x509.get());
        const int type = key ? EVP_PKEY_get_base_id(key) : 0;
        if (type == EVP_PKEY_RSA || type == EVP_PKEY_EC) {
            Template pub;
            addPublic(pub, key);
            ok = create(pub);
        }
    }
    if (!ok) {
        // Nothing half-written stays behind.
        for (CK_OBJECT_HANDLE h : created)
            f()->C_DestroyObject(s->handle, h);
        s->loaded = false;
        return rv == CKR_KEY_TYPE_INCONSISTENT ? TM_ERR_FILE_FORMAT : status(rv);
    }
    s->pending.removeAll(name);
    s->loaded = false;
    return TM_OK;
}
