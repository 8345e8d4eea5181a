// SPDX-License-Identifier: BSD-3-Clause
#include "VirtualBackend.h"

#include "CertInfo.h"
#include "FormatRecord.h"
#include "TokenMgr.h"
#include "Utf8Text.h"
#include "VFingerSensor.h"
#include "VTokenNotices.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QThread>

#include <algorithm>
#include <utility>

namespace {

bool lengthOk(const VToken::Pin& pin, const QByteArray& value)
{
    return value.size() >= pin.minLength && value.size() <= pin.maxLength;
}

} // namespace

VirtualBackend::VirtualBackend(const QString& storeFolder) : m_store(storeFolder) {}

quint32 VirtualBackend::find(int* count)
{
    m_found.clear();
    m_sessions.clear();
    for (const QString& serial : m_store.serials()) {
        VToken t;
        const VTokenStore::Result r = m_store.load(serial, &t);
        // A token whose file fails still shows up, as a device that does not answer properly.
        if (r == VTokenStore::Result::Failing || (r == VTokenStore::Result::Ok && t.pluggedIn))
            m_found << serial;
        if (m_found.size() == TM_MAX_SLOTS)
            break;
    }
    m_sessions.resize(m_found.size());
    *count = int(m_found.size());
    return TM_OK;
}

quint32 VirtualBackend::connect(int index)
{
    if (index < 0 || index >= m_found.size())
        return TM_ERR_SLOT;
    Session s;
    s.serial = m_found[index];
    s.connected = true;
    m_sessions[index] = s;
    return withToken(index, "token_connect", Access::Read, [](VToken&, Session&, bool&) { return TM_OK; });
}

quint32 VirtualBackend::withToken(int slot, const char* function, Access access, const Op& op)
{
    if (slot < 0 || slot >= m_sessions.size() || !m_sessions[slot].connected)
        return TM_ERR_SLOT;
    Session& session = m_sessions[slot];
    if (session.removed)
        return TM_ERR_TOKEN_REMOVED;
    const QString fn = QString::fromLatin1(function);
    const auto removedNow = [&] {
        session.removed = true;
        session.user = session.so = session.soVerified = false;
        return TM_ERR_TOKEN_REMOVED;
    };

    const auto slowDown = [&fn](const VToken& t) {
        for (const VToken::Fault& f : t.faults)
            if (f.kind == VToken::Fault::SlowCall && f.matches(fn))
                QThread::msleep(ulong(qBound(0, f.delayMs, 60000)));
    };
    const Session before = session;
    if (access == Access::Read) {
        // Reading needs no lock: a token file is only ever replaced whole. Most calls end here.
        VToken snapshot;
        const VTokenStore::Result first = m_store.load(session.serial, &snapshot);
        if (first == VTokenStore::Result::Missing)
            return removedNow();
        if (first != VTokenStore::Result::Ok)
            return TM_ERR_TOKEN_FAILING;
        if (!snapshot.pluggedIn)
            return removedNow();
        slowDown(snapshot); // without the lock: other callers are not held up
        const bool oneShotFault =
            std::any_of(snapshot.faults.cbegin(), snapshot.faults.cend(), [&](const auto& f) {
                return f.matches(fn) &&
                       (f.kind == VToken::Fault::FailNextCall || f.kind == VToken::Fault::PullOutNextCall);
            });
        if (!oneShotFault) {
            bool changed = false;
            const quint32 status = op(snapshot, session, changed);
            if (!changed)
                return status;
            session = before; // a reading call should not change the token; if it does, only under the lock
        }
    }

    // A changing call runs once, on the token as it is under the lock: one read-modify-write.
    quint32 status = TM_OK;
    bool pulled = false;
    bool refused = false;
    QString devicePath;
    const VTokenStore::Result r = m_store.update(session.serial, [&](VToken& t) {
        devicePath = t.devicePath();
        if (!t.pluggedIn) {
            status = TM_ERR_TOKEN_REMOVED;
            return false;
        }
        if (access == Access::Change)
            slowDown(t); // a slow device is slow while it writes
        for (qsizetype i = 0; i < t.faults.size(); ++i) {
            const VToken::Fault f = t.faults[i];
            if (!f.matches(fn))
                continue;
            if (f.kind == VToken::Fault::FailNextCall) {
                t.faults.removeAt(i);
                status = f.status;
                return true;
            }
            if (f.kind == VToken::Fault::PullOutNextCall) {
                // Pulled out halfway: nothing of this call reaches the token.
                t.faults.removeAt(i);
                t.pluggedIn = false;
                pulled = true;
                status = TM_ERR_TOKEN_REMOVED;
                return true;
            }
        }
        bool changed = false;
        status = op(t, session, changed);
        if (!changed)
            return false;
        for (VToken::Fault& f : t.faults) {
            if (f.kind != VToken::Fault::FailAfterWrites || !f.matches(fn))
                continue;
            if (f.writesLeft <= 0) {
                status = f.status ? f.status : TM_ERR_DEVICE;
                refused = true;
                return false;
            }
            --f.writesLeft;
        }
        return true;
    });

    switch (r) {
    case VTokenStore::Result::Ok:
    case VTokenStore::Result::Unchanged:
        break;
    case VTokenStore::Result::Missing:
        status = TM_ERR_TOKEN_REMOVED;
        break;
    case VTokenStore::Result::Failing:
        status = TM_ERR_TOKEN_FAILING;
        break;
    case VTokenStore::Result::Busy:
        status = TM_ERR_BUSY;
        break;
    default:
        status = TM_ERR_DEVICE;
        break;
    }
    // Nothing reached the token, so the session does not change either.
    if (refused || (r != VTokenStore::Result::Ok && r != VTokenStore::Result::Unchanged))
        session = before;
    if (pulled)
        VTokenNotices::post(m_store.folder(), VTokenNotices::Kind::Removed, devicePath);
    if (status == TM_ERR_TOKEN_REMOVED)
        return removedNow();
    return status;
}

quint32 VirtualBackend::features(int slot, quint32* out)
{
    if (slot < 0 || slot >= m_sessions.size() || !m_sessions[slot].connected)
        return TM_ERR_SLOT;
    if (m_sessions[slot].removed)
        return TM_ERR_TOKEN_REMOVED;
    *out = TM_FEATURE_SET_LABEL | TM_FEATURE_REMOTE_UNLOCK | TM_FEATURE_SECTORS | TM_FEATURE_EXACT_RETRIES;
    return TM_OK;
}

quint32 VirtualBackend::info(int slot, Info* out)
{
    return withToken(slot, "token_get_info_ex", Access::Read, [&](VToken& t, Session&, bool&) {
        out->serial = t.serial.toLatin1();
        out->label = t.label;
        out->manufacturer = t.manufacturer;
        out->model = t.model;
        out->maxPinLen = t.userPin.maxLength;
        out->minPinLen = t.userPin.minLength;
        out->maxSoPinLen = t.soPin.maxLength;
        out->minSoPinLen = t.soPin.minLength;
        out->totalMemory = qMax<qint64>(0, t.totalMemory);
        out->freeMemory = qMax<qint64>(0, t.freeMemory()); // a virtual token always tells
        out->hardwareVersion = t.hardwareVersion;
        out->firmwareVersion = t.firmwareVersion;
        out->initialized = t.initialized;
        out->fingerSupport = t.fingerSupport;
        return TM_OK;
    });
}

quint32 VirtualBackend::reload(int slot)
{
    return withToken(slot, "token_reload_all_objects", Access::Read,
                     [](VToken&, Session&, bool&) { return TM_OK; });
}

quint32 VirtualBackend::setLabel(int slot, const QByteArray& label)
{
    const QByteArray value = Utf8Text::trimTail(label.left(MaxLabel));
    if (!Utf8Text::valid(value))
        return TM_ERR_ARGUMENTS;
    return withToken(slot, "token_set_label", Access::Change, [&](VToken& t, Session&, bool& changed) {
        changed = t.label != value;
        t.label = value;
        return TM_OK;
    });
}

quint32 VirtualBackend::format(int slot, const QByteArray& record)
{
    FormatRecord r;
    if (const quint32 st = r.read(record); st != TM_OK)
        return st;
    const quint32 status =
        withToken(slot, "token_format", Access::Change, [&](VToken& t, Session& s, bool& changed) {
            if (t.initialized && !s.soVerified)
                return TM_ERR_SO_NOT_LOGGED_IN;
            t.containers.clear();
            t.label = r.label;
            if (!r.manufacturer.isEmpty())
                t.manufacturer = r.manufacturer;
            t.issuer = r.issuer;
            t.userPin.minLength = r.userMin;
            t.userPin.maxLength = r.userMax;
            t.userPin.maxTries = r.userTries;
            t.soPin.minLength = r.soMin;
            t.soPin.maxLength = r.soMax;
            t.soPin.maxTries = r.soTries;
            VToken::setPin(t.userPin, r.userPin);
            VToken::setPin(t.soPin, r.soPin);
            t.challenge.clear();
            t.initialized = true;
            s.user = s.so = s.soVerified = false;
            changed = true;
            return TM_OK;
        });
    return status;
}

quint32 VirtualBackend::writeSectors(int slot, qint64 first, qint64 count, const char* data)
{
    return withToken(slot, "token_write_sectors", Access::Read, [&](VToken& t, Session& s, bool&) {
        if (!s.user)
            return TM_ERR_NOT_LOGGED_IN;
        if (first < 0 || count < 0 || first + count > t.cdromSectors)
            return TM_ERR_RANGE;
        if (count == 0)
            return TM_OK;
        // The partition is a raw image beside the token file, written in place like flash sectors.
        QFile f(m_store.cdromPath(t.serial));
        // Owner-only, as everything in the token store.
        if (!f.open(QIODevice::ReadWrite) || !f.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
            return TM_ERR_DEVICE;
        const qint64 size = t.cdromSectors * VToken::SectorSize;
        if (f.size() < size && !f.resize(size))
            return TM_ERR_DEVICE;
        const qint64 bytes = count * VToken::SectorSize;
        if (!f.seek(first * VToken::SectorSize) || f.write(data, bytes) != bytes || !f.flush())
            return TM_ERR_DEVICE;
        return TM_OK;
    });
}

quint32 VirtualBackend::checkPin(VToken::Pin& pin, const QByteArray& value, bool& changed)
{
    if (pin.locked())
        return TM_ERR_PIN_LOCKED;
    if (!VToken::checkPin(pin, value)) {
        --pin.triesLeft;
        changed = true;
        return pin.locked() ? TM_ERR_PIN_LOCKED : TM_ERR_PIN_INCORRECT;
    }
    if (pin.triesLeft != pin.maxTries) {
        pin.triesLeft = pin.maxTries;
        changed = true;
    }
    return TM_OK;
}

quint32 VirtualBackend::login(int slot, int pinType, const QByteArray& pin, int* retries)
{
    const char* fn = pinType == TM_PIN_SO ? "token_login_so" : "token_login";
    return withToken(slot, fn, Access::Change, [&](VToken& t, Session& s, bool& changed) {
        VToken::Pin& p = pinType == TM_PIN_SO ? t.soPin : t.userPin;
        *retries = qMax(0, p.triesLeft);
        if (!t.initialized)
            return TM_ERR_NOT_INITIALIZED;
        if (p.locked()) {
            *retries = 0;
            return TM_ERR_PIN_LOCKED;
        }
        s.user = s.so = false;
        if (pin.isEmpty()) {
            if (!t.fingerSupport)
                return TM_ERR_NO_SENSOR;
            const QCborMap before = t.extensions;
            const bool match = VFingerSensor::verifyFinger(t, pinType);
            changed = t.extensions != before;
            if (!match)
                return TM_ERR_FINGER;
        } else {
            if (!lengthOk(p, pin))
                return TM_ERR_PIN_LEN_RANGE;
            const quint32 r = checkPin(p, pin, changed);
            *retries = qMax(0, p.triesLeft);
            if (r != TM_OK)
                return r;
        }
        if (pinType == TM_PIN_SO)
            s.so = s.soVerified = true;
        else
            s.user = true;
        return TM_OK;
    });
}

quint32 VirtualBackend::logout(int slot)
{
    return withToken(slot, "token_logout", Access::Read, [](VToken&, Session& s, bool&) {
        s.user = s.so = false;
        return TM_OK;
    });
}

quint32 VirtualBackend::pinState(int slot, int pinType, PinState* out)
{
    return withToken(slot, "token_get_pin_state", Access::Read, [&](VToken& t, Session& s, bool&) {
        const VToken::Pin& p = pinType == TM_PIN_SO ? t.soPin : t.userPin;
        out->retriesLeft = qMax(0, p.triesLeft);
        out->maxRetries = p.maxTries;
        out->minLength = p.minLength;
        out->maxLength = p.maxLength;
        out->locked = p.locked() ? 1 : 0;
        out->loggedIn = (pinType == TM_PIN_SO ? s.so : s.user) ? 1 : 0;
        return TM_OK;
    });
}

quint32 VirtualBackend::changePin(int slot, int pinType, const QByteArray& oldPin, const QByteArray& newPin)
{
    const char* fn = pinType == TM_PIN_SO ? "token_change_sopin" : "token_change_upin";
    return withToken(slot, fn, Access::Change, [&](VToken& t, Session&, bool& changed) {
        VToken::Pin& p = pinType == TM_PIN_SO ? t.soPin : t.userPin;
        if (!t.initialized)
            return TM_ERR_NOT_INITIALIZED;
        if (p.locked())
            return TM_ERR_PIN_LOCKED;
        if (!lengthOk(p, newPin))
            return TM_ERR_PIN_LEN_RANGE;
        if (!lengthOk(p, oldPin))
            return TM_ERR_PIN_INCORRECT; // cannot be the PIN, and costs no try
        const quint32 r = checkPin(p, oldPin, changed);
        if (r != TM_OK)
            return r;
        VToken::setPin(p, newPin);
        changed = true;
        return TM_OK;
    });
}

quint32 VirtualBackend::resetUserPin(int slot, const QByteArray& soPin, const QByteArray& userPin)
{
    return withToken(slot, "token_set_upin", Access::Change, [&](VToken& t, Session& s, bool& changed) {
        if (!t.initialized)
            return TM_ERR_NOT_INITIALIZED;
        if (t.soPin.locked())
            return TM_ERR_PIN_LOCKED;
        if (!lengthOk(t.userPin, userPin))
            return TM_ERR_PIN_LEN_RANGE;
        if (!lengthOk(t.soPin, soPin))
            return TM_ERR_PIN_INCORRECT;
        const quint32 r = checkPin(t.soPin, soPin, changed);
        if (r != TM_OK)
            return r;
        VToken::setPin(t.userPin, userPin);
        s.user = false;
        changed = true;
        return TM_OK;
    });
}

quint32 VirtualBackend::challenge(int slot, QByteArray* out)
{
    return withToken(slot, "token_get_challenge", Access::Change, [&](VToken& t, Session&, bool& changed) {
        QByteArray c(VToken::ChallengeBytes, '\0');
        for (char& b : c)
            b = char(QRandomGenerator::system()->bounded(256));
        t.challenge = c;
        changed = true;
        *out = c;
        return TM_OK;
    });
}

quint32 VirtualBackend::remoteUnlock(int slot, const QByteArray& response)
{
    if (response.size() > TM_RESPONSE_MAX)
        return TM_ERR_RESPONSE;
    return withToken(slot, "token_remote_unlock_upin", Access::Change,
                     [&](VToken& t, Session& s, bool& changed) {
                         if (t.challenge.isEmpty())
                             return TM_ERR_NO_CHALLENGE;
                         const QByteArray expected = VToken::unlockResponse(t.unlockKey, t.challenge);
                         // A pasted line break arrives as trailing zero bytes; anything else after the code
                         // is wrong.
                         bool ok = response.size() >= expected.size();
                         unsigned char diff = 0;
                         for (int i = 0; ok && i < expected.size(); ++i)
                             diff |= static_cast<unsigned char>(expected[i] ^ response[i]);
                         for (qsizetype i = expected.size(); ok && i < response.size(); ++i)
                             diff |= static_cast<unsigned char>(response[i]);
                         if (!ok || diff != 0)
                             return TM_ERR_RESPONSE;
                         t.userPin.triesLeft = t.userPin.maxTries;
                         t.challenge.clear(); // a response works once
                         s.user = false;
                         changed = true;
                         return TM_OK;
                     });
}

static_assert(VToken::ChallengeBytes == TM_CHALLENGE_BYTES &&
                  VToken::ResponseBytes == TM_UNLOCK_RESPONSE_BYTES,
              "the contract's challenge and response sizes are the device's");

quint32 VirtualBackend::unlockResponse(const QByteArray& serial, const QByteArray& challenge, QByteArray* out)
{
    // Computed from the store, not through a slot: the token is with its user, far from here.
    switch (m_store.unlockResponse(QString::fromLocal8Bit(serial), challenge, out)) {
    case VTokenStore::Result::Ok:
        return TM_OK;
    case VTokenStore::Result::Failing:
        return TM_ERR_TOKEN_FAILING;
    default:
        return TM_ERR_NOT_FOUND;
    }
}

quint32 VirtualBackend::containerNames(int slot, QList<QByteArray>* out)
{
    return withToken(slot, "container_load_all", Access::Read, [&](VToken& t, Session&, bool&) {
        out->clear();
        for (const VToken::Container& c : std::as_const(t.containers))
            out->append(c.name);
        return TM_OK;
    });
}

quint32 VirtualBackend::createContainer(int slot, const QByteArray& name)
{
    if (name.isEmpty() || name.size() > MaxContainerName)
        return TM_ERR_NAME;
    return withToken(slot, "container_create_new", Access::Change, [&](VToken& t, Session& s, bool& changed) {
        if (!s.user)
            return TM_ERR_NOT_LOGGED_IN;
        if (t.findContainer(name))
            return TM_ERR_EXISTS;
        VToken::Container c;
        c.name = name;
        if (t.containers.size() >= MaxContainers || c.memoryUsed() > t.freeMemory())
            return TM_ERR_NO_SPACE;
        t.containers.append(c);
        changed = true;
        return TM_OK;
    });
}

quint32 VirtualBackend::deleteContainer(int slot, const QByteArray& name)
{
    return withToken(slot, "container_delete", Access::Change, [&](VToken& t, Session& s, bool& changed) {
        if (!s.user)
            return TM_ERR_NOT_LOGGED_IN;
        const qsizetype n = t.containers.removeIf([&](const VToken::Container& c) { return c.name == name; });
        if (n == 0)
            return TM_ERR_NOT_FOUND;
        changed = true;
        return TM_OK;
    });
}

quint32 VirtualBackend::certificate(int slot, const QByteArray& name, int keySpec, QByteArray* der)
{
    return withToken(slot, "container_get_cert", Access::Read, [&](VToken& t, Session&, bool&) {
        const VToken::Container* c = std::as_const(t).findContainer(name);
        const VToken::KeyHalf* h = c ? c->half(keySpec) : nullptr;
        if (!h || h->certificate.isEmpty())
            return TM_ERR_NOT_FOUND;
        *der = h->certificate;
        return TM_OK;
    });
}

quint32 VirtualBackend::publicKey(int slot, const QByteArray& name, int keySpec, KeyInfo* out)
{
    return withToken(slot, "container_get_pubkey", Access::Read, [&](VToken& t, Session&, bool&) {
        const VToken::Container* c = std::as_const(t).findContainer(name);
        const VToken::KeyHalf* h = c ? c->half(keySpec) : nullptr;
        if (!h || (!h->hasKey() && h->privateKey.isEmpty()))
            return TM_ERR_NOT_FOUND;
        out->keyType = h->keyType;
        out->keyBits = h->keyBits;
        // The key value a token hands out (the RSA modulus or the EC point), whether or not the
        // container holds the key's certificate; a private key alone still tells its public half.
        out->rawPublicKey =
            CertInfo::rawKeyFromSpki(h->hasKey() ? h->publicKey : CertInfo::spkiFromPkcs8(h->privateKey));
        return out->rawPublicKey.isEmpty() ? TM_ERR_TOKEN_FAILING : TM_OK;
    });
}

quint32 VirtualBackend::privateKey(int slot, const QByteArray& name, int keySpec, KeyInfo* out)
{
    return withToken(slot, "container_get_prikey", Access::Read, [&](VToken& t, Session&, bool&) {
        const VToken::Container* c = std::as_const(t).findContainer(name);
        const VToken::KeyHalf* h = c ? c->half(keySpec) : nullptr;
        if (!h || h->privateKey.isEmpty())
            return TM_ERR_NOT_FOUND;
        out->keyType = h->keyType;
        out->keyBits = h->keyBits;
        return TM_OK;
    });
}

quint32 VirtualBackend::deleteCertificate(int slot, const QByteArray& name, int keySpec)
{
    return withToken(slot, "container_delete_cert", Access::Change,
                     [&](VToken& t, Session& s, bool& changed) {
                         if (!s.user)
                             return TM_ERR_NOT_LOGGED_IN;
                         VToken::Container* c = t.findContainer(name);
                         VToken::KeyHalf* h = c ? c->half(keySpec) : nullptr;
                         if (!h || h->certificate.isEmpty())
                             return TM_ERR_NOT_FOUND;
                         // Only the certificate goes: its key pair may get a renewed certificate.
                         h->certificate.clear();
                         changed = true;
                         return TM_OK;
                     });
}

quint32 VirtualBackend::importPkcs12(int slot, const QByteArray& container, int keySpec, int index)
{
    CertFile::Entry e;
    const quint32 r = pkcs12Kind(index, &e, nullptr);
    return r != TM_OK ? r : importEntry(slot, container, keySpec, e, "pkcs12_import_certificate");
}

quint32 VirtualBackend::importPkcs7(int slot, const QByteArray& container, int keySpec, int index)
{
    CertFile::Entry e;
    const quint32 r = pkcs7Kind(index, &e, nullptr);
    return r != TM_OK ? r : importEntry(slot, container, keySpec, e, "p7b_import_certificate");
}

quint32 VirtualBackend::importX509(int slot, const QByteArray& container, int keySpec, const QByteArray& path)
{
    quint32 status = TM_OK;
    const QByteArray bytes = readFile(path, &status);
    if (status != TM_OK)
        return status;
    CertFile::Entry e;
    status = CertFile::parseX509(bytes, &e);
    return status != TM_OK ? status : importEntry(slot, container, keySpec, e, "x509_import_certificate");
}

quint32 VirtualBackend::importEntry(int slot, const QByteArray& container, int keySpec,
                                    const CertFile::Entry& e, const char* function)
{
    CertInfo info;
    if (!CertInfo::fromDer(e.certificate, &info))
        return TM_ERR_CERTIFICATE;
    return withToken(slot, function, Access::Change, [&](VToken& t, Session& s, bool& changed) {
        if (!s.user)
            return TM_ERR_NOT_LOGGED_IN;
        VToken::Container* c = t.findContainer(container);
        if (!c)
            return TM_ERR_NOT_FOUND;
        VToken::KeyHalf* h = c->half(keySpec);
        if (!h)
            return TM_ERR_ARGUMENTS;
        if (!h->certificate.isEmpty())
            return TM_ERR_EXISTS; // an import never overwrites a certificate
        // A key pair already in the slot stays only when the certificate belongs to it.
        if (h->hasKey() && h->publicKey != info.publicKey)
            return TM_ERR_EXISTS;
        if (!h->hasKey() && !h->privateKey.isEmpty() &&
            CertInfo::spkiFromPkcs8(h->privateKey) != info.publicKey)
            return TM_ERR_EXISTS;
        if (e.certificate.size() > MaxCertificate)
            return TM_ERR_CERT_TOO_LARGE; // no token object holds it, however empty the token
        VToken::KeyHalf next;
        next.certificate = e.certificate;
        next.publicKey = info.publicKey;
        next.privateKey = e.privateKey.isEmpty() ? h->privateKey : e.privateKey;
        next.keyType = info.keyType;
        next.keyBits = info.keyBits;
        if (next.memoryUsed() - h->memoryUsed() > t.freeMemory())
            return TM_ERR_NO_SPACE;
        *h = next;
        changed = true;
        return TM_OK;
    });
}
