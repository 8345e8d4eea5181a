// SPDX-License-Identifier: BSD-3-Clause
// The contract's entry points. Each one checks its arguments at the C boundary, copies what it needs out
// of the caller's buffers and writes results back within the capacities the contract gives.
#include "TokenMgr.h"

#include "CertInfo.h"
#include "CertStore.h"
#include "TokenBackend.h"

#include <QByteArray>

#include <dlfcn.h>

#include <cstring>
#include <memory>
#include <mutex>

namespace {

// The import worker calls in from a second thread; one call runs at a time.
std::recursive_mutex g_mutex;
std::unique_ptr<TokenBackend> g_backend;
QByteArray g_module; // the name g_backend was chosen by

constexpr qsizetype MaxNarrow = 4096; // longest narrow string argument read (paths)
constexpr qsizetype MaxPin = 256;

// A narrow argument, read no further than `max` bytes; `ok` false for a null pointer or a longer string.
QByteArray narrow(const char* s, qsizetype max, bool* ok)
{
    if (!s) {
        *ok = false;
        return {};
    }
    const size_t n = strnlen(s, size_t(max) + 1);
    if (n > size_t(max)) {
        *ok = false;
        return {};
    }
    *ok = true;
    return QByteArray(s, qsizetype(n));
}

// Copies text into a caller buffer of `capacity` bytes, always NUL-terminated, cut if it must be.
void putText(char* dst, qsizetype capacity, const QByteArray& text)
{
    if (!dst || capacity <= 0)
        return;
    const qsizetype n = qMin(text.size(), capacity - 1);
    std::memcpy(dst, text.constData(), size_t(n));
    std::memset(dst + n, 0, size_t(capacity - n));
}

// Copies `bytes` into a caller buffer whose capacity `*length` gives; `*length` then says how many
// bytes the result has, or needs when the buffer is too small (and nothing is written).
tm_status putBytes(void* buffer, int32_t* length, const QByteArray& bytes)
{
    const int32_t needed = int32_t(bytes.size());
    if (needed > *length) {
        *length = needed;
        return TM_ERR_BUFFER_TOO_SMALL;
    }
    if (needed > 0)
        std::memcpy(buffer, bytes.constData(), size_t(needed));
    *length = needed;
    return TM_OK;
}

// UTF-8 text cut to a byte budget without splitting a character.
QByteArray utf8Within(const QString& s, qsizetype budget)
{
    QByteArray out;
    for (qsizetype i = 0; i < s.size();) {
        const qsizetype len = (s.at(i).isHighSurrogate() && i + 1 < s.size()) ? 2 : 1;
        const QByteArray ch = s.mid(i, len).toUtf8();
        if (out.size() + ch.size() > budget)
            break;
        out += ch;
        i += len;
    }
    return out;
}

void putUtf16(tm_char16* dst, qsizetype capacity, const QString& text)
{
    if (!dst || capacity <= 0)
        return;
    qsizetype n = qMin(text.size(), capacity - 1);
    if (n > 0 && n < text.size() && text.at(n - 1).isHighSurrogate())
        --n; // never leave half a surrogate pair
    std::memcpy(dst, text.utf16(), size_t(n) * sizeof(tm_char16));
    std::memset(dst + n, 0, size_t(capacity - n) * sizeof(tm_char16));
}

void wipe(QByteArray& b)
{
    b.fill('\0');
}

bool validSpec(int32_t keySpec)
{
    return keySpec == TM_KEYSPEC_EXCHANGE || keySpec == TM_KEYSPEC_SIGNATURE;
}

void fillDate(tm_date* d, const QDateTime& t)
{
    if (!d)
        return;
    std::memset(d, 0, sizeof(*d));
    if (!t.isValid())
        return;
    d->year = t.date().year();
    d->month = t.date().month();
    d->day = t.date().day();
    d->hour = t.time().hour();
    d->minute = t.time().minute();
    d->second = t.time().second();
    d->weekday = t.date().dayOfWeek() % 7;
    d->yearday = t.date().dayOfYear() - 1;
}

#define TM_LOCK std::lock_guard<std::recursive_mutex> guard(g_mutex)
#define TM_NEED_BACKEND                                                                                      \
    if (!g_backend)                                                                                          \
    return TM_ERR_NOT_READY

tm_status initWith(const char* module)
{
    bool ok = false;
    const QByteArray name = narrow(module, MaxNarrow, &ok);
    if (!ok)
        return TM_ERR_ARGUMENTS;
    TM_LOCK;
    if (!g_backend) {
        g_backend = TokenBackend::forModule(name);
        if (!g_backend)
            return TM_ERR_UNKNOWN_MODULE;
        g_module = name;
    } else if (name != g_module &&
               !(TokenBackend::isVirtualModule(name) && TokenBackend::isVirtualModule(g_module))) {
        return TM_ERR_UNKNOWN_MODULE;
    }
    CertFile::loadProviders();
    return TM_OK;
}

tm_status containerCall(int32_t slot, const char* name, QByteArray* out)
{
    bool ok = false;
    *out = narrow(name, TokenBackend::MaxContainerName, &ok);
    return ok ? TM_OK : TM_ERR_NAME;
}

} // namespace

extern "C" {

tm_status init_pkcs11(const char* module)
{
    return initWith(module);
}

tm_status init_pkcs11_ex(const char* text1, const char* text2, const char* text3, const char* module)
{
    Q_UNUSED(text1);
    Q_UNUSED(text2);
    Q_UNUSED(text3);
    return initWith(module);
}

tm_status uninit_pkcs11(void)
{
    TM_LOCK;
    g_backend.reset();
    g_module.clear();
    return TM_OK;
}

tm_status token_find(uint32_t* ids, int32_t* count)
{
    if (!count)
        return TM_ERR_ARGUMENTS;
    const int32_t capacity = *count;
    *count = 0;
    if (capacity < 0 || (capacity > 0 && !ids))
        return TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    int found = 0;
    const tm_status r = g_backend->find(&found);
    if (r != TM_OK)
        return r;
    if (found > capacity) {
        *count = found;
        return TM_ERR_BUFFER_TOO_SMALL;
    }
    for (int i = 0; i < found; ++i)
        ids[i] = uint32_t(i + 1);
    *count = found;
    return TM_OK;
}

tm_status token_connect(int32_t index)
{
    TM_LOCK;
    TM_NEED_BACKEND;
    return g_backend->connect(index);
}

tm_status token_get_info_ex(int32_t slot, char* serial, char* label, char* manufacturer, char* model,
                            int32_t* maxPinLen, int32_t* minPinLen, int32_t* maxSoPinLen,
                            int32_t* minSoPinLen, int32_t* totalMemory, int32_t* freeMemory,
                            int32_t* hardwareVersion, int32_t* firmwareVersion, int32_t* initialized,
                            int32_t* fingerSupport)
{
    if (!serial || !label || !manufacturer || !model || !maxPinLen || !minPinLen || !maxSoPinLen ||
        !minSoPinLen || !totalMemory || !freeMemory || !hardwareVersion || !firmwareVersion || !initialized ||
        !fingerSupport)
        return TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    TokenBackend::Info info;
    const tm_status r = g_backend->info(slot, &info);
    if (r != TM_OK)
        return r;
    putText(serial, TM_SERIAL_SIZE, info.serial);
    putText(label, TM_LABEL_SIZE, info.label);
    putText(manufacturer, TM_MANUFACTURER_SIZE, info.manufacturer);
    putText(model, TM_MODEL_SIZE, info.model);
    *maxPinLen = info.maxPinLen;
    *minPinLen = info.minPinLen;
    *maxSoPinLen = info.maxSoPinLen;
    *minSoPinLen = info.minSoPinLen;
    const auto memory = [](qint64 bytes) {
        return bytes < 0 ? int32_t(TM_MEMORY_UNKNOWN) : int32_t(qMin(bytes, qint64(INT32_MAX)));
    };
    *totalMemory = memory(info.totalMemory);
    *freeMemory = memory(info.freeMemory);
    *hardwareVersion = info.hardwareVersion;
    *firmwareVersion = info.firmwareVersion;
    *initialized = info.initialized ? 1 : 0;
    *fingerSupport = info.fingerSupport ? 1 : 0;
    return TM_OK;
}

tm_status token_get_features(int32_t slot, uint32_t* features)
{
    if (!features)
        return TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    quint32 bits = 0;
    const tm_status r = g_backend->features(slot, &bits);
    if (r == TM_OK)
        *features = bits;
    return r;
}

tm_status token_reload_all_objects(int32_t slot)
{
    TM_LOCK;
    TM_NEED_BACKEND;
    return g_backend->reload(slot);
}

tm_status token_set_label(int32_t slot, const char* label)
{
    if (!label)
        return TM_ERR_ARGUMENTS;
    // The field is 64 bytes, NUL-padded when shorter; a 64-byte label has no terminator.
    const QByteArray value(label, qsizetype(strnlen(label, TM_LABEL_FIELD_SIZE)));
    TM_LOCK;
    TM_NEED_BACKEND;
    return g_backend->setLabel(slot, value);
}

tm_status token_format(int32_t slot, const unsigned char* params)
{
    if (!params)
        return TM_ERR_ARGUMENTS;
    QByteArray record(reinterpret_cast<const char*>(params), TM_FORMAT_RECORD_SIZE);
    TM_LOCK;
    tm_status r = TM_ERR_NOT_READY;
    if (g_backend)
        r = g_backend->format(slot, record);
    wipe(record);
    return r;
}

tm_status token_write_sectors(int32_t slot, int32_t first, int32_t count, const unsigned char* data)
{
    if (first < 0 || count < 0 || (count > 0 && !data))
        return TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    return g_backend->writeSectors(slot, first, count, reinterpret_cast<const char*>(data));
}

static tm_status loginAs(int32_t slot, int pinType, const char* pin, int32_t* retries)
{
    if (!retries)
        return TM_ERR_ARGUMENTS;
    *retries = 0;
    if (!pin)
        return TM_ERR_ARGUMENTS;
    bool ok = false;
    QByteArray value = narrow(pin, MaxPin, &ok);
    TM_LOCK;
    if (!ok) {
        // Longer than any token takes: no try is spent. The tries left are the token's own count when
        // it tells one, else unknown: 0 would read as a locked PIN.
        *retries = TM_RETRIES_UNKNOWN;
        TokenBackend::PinState st;
        if (g_backend && g_backend->pinState(slot, pinType, &st) == TM_OK)
            *retries = st.locked ? 0 : st.retriesLeft;
        return g_backend ? TM_ERR_PIN_LEN_RANGE : TM_ERR_NOT_READY;
    }
    tm_status r = TM_ERR_NOT_READY;
    int left = 0;
    if (g_backend)
        r = g_backend->login(slot, pinType, value, &left);
    wipe(value);
    *retries = left;
    return r;
}

tm_status token_login(int32_t slot, const char* pin, int32_t* retries)
{
    return loginAs(slot, TM_PIN_USER, pin, retries);
}

tm_status token_login_so(int32_t slot, const char* pin, int32_t* retries)
{
    return loginAs(slot, TM_PIN_SO, pin, retries);
}

tm_status token_logout(int32_t slot)
{
    TM_LOCK;
    TM_NEED_BACKEND;
    return g_backend->logout(slot);
}

tm_status token_get_pin_state(int32_t slot, int32_t pinType, int32_t* retriesLeft, int32_t* maxRetries,
                              int32_t* minLength, int32_t* maxLength, int32_t* locked, int32_t* loggedIn)
{
    if (!retriesLeft || !maxRetries || !minLength || !maxLength || !locked || !loggedIn ||
        (pinType != TM_PIN_SO && pinType != TM_PIN_USER))
        return TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    TokenBackend::PinState st;
    const tm_status r = g_backend->pinState(slot, pinType, &st);
    if (r != TM_OK)
        return r;
    *retriesLeft = st.retriesLeft;
    *maxRetries = st.maxRetries;
    *minLength = st.minLength;
    *maxLength = st.maxLength;
    *locked = st.locked;
    *loggedIn = st.loggedIn;
    return TM_OK;
}

static tm_status changeAs(int32_t slot, int pinType, const char* oldPin, const char* newPin)
{
    bool ok1 = false, ok2 = false;
    QByteArray a = narrow(oldPin, MaxPin, &ok1);
    QByteArray b = narrow(newPin, MaxPin, &ok2);
    tm_status r = TM_ERR_NOT_READY;
    if (!oldPin || !newPin) {
        r = TM_ERR_ARGUMENTS;
    } else if (!ok1 || !ok2) {
        r = TM_ERR_PIN_LEN_RANGE;
    } else {
        TM_LOCK;
        if (g_backend)
            r = pinType < 0 ? g_backend->resetUserPin(slot, a, b) : g_backend->changePin(slot, pinType, a, b);
    }
    wipe(a);
    wipe(b);
    return r;
}

tm_status token_change_upin(int32_t slot, const char* oldPin, const char* newPin)
{
    return changeAs(slot, TM_PIN_USER, oldPin, newPin);
}

tm_status token_change_sopin(int32_t slot, const char* oldPin, const char* newPin)
{
    return changeAs(slot, TM_PIN_SO, oldPin, newPin);
}

tm_status token_set_upin(int32_t slot, const char* soPin, const char* userPin)
{
    return changeAs(slot, -1, soPin, userPin);
}

tm_status token_get_challenge(int32_t slot, unsigned char* buffer)
{
    if (!buffer)
        return TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    QByteArray c;
    const tm_status r = g_backend->challenge(slot, &c);
    if (r != TM_OK)
        return r;
    std::memset(buffer, 0, TM_CHALLENGE_SIZE);
    std::memcpy(buffer, c.constData(), size_t(qMin<qsizetype>(c.size(), TM_CHALLENGE_SIZE)));
    return TM_OK;
}

tm_status token_remote_unlock_upin(int32_t slot, const unsigned char* response, int32_t length)
{
    if (length < 0 || (length > 0 && !response))
        return TM_ERR_ARGUMENTS;
    if (length > TM_RESPONSE_MAX)
        return TM_ERR_RESPONSE;
    const QByteArray value(reinterpret_cast<const char*>(response), length);
    TM_LOCK;
    TM_NEED_BACKEND;
    return g_backend->remoteUnlock(slot, value);
}

tm_status token_unlock_response(const char* serial, const unsigned char* challenge, unsigned char* response)
{
    if (!serial || !challenge || !response)
        return TM_ERR_ARGUMENTS;
    const QByteArray name(serial, qsizetype(qstrnlen(serial, TM_SERIAL_SIZE)));
    if (name.size() >= TM_SERIAL_SIZE)
        return TM_ERR_ARGUMENTS;
    const QByteArray value(reinterpret_cast<const char*>(challenge), TM_CHALLENGE_BYTES);
    TM_LOCK;
    TM_NEED_BACKEND;
    QByteArray r;
    const tm_status status = g_backend->unlockResponse(name, value, &r);
    if (status != TM_OK)
        return status;
    if (r.size() != TM_UNLOCK_RESPONSE_BYTES)
        return TM_ERR_DEVICE;
    std::memcpy(response, r.constData(), TM_UNLOCK_RESPONSE_BYTES);
    return TM_OK;
}

tm_status container_load_all(int32_t slot, char* buffer, int32_t* length)
{
    if (!length || *length < 0 || (*length > 0 && !buffer))
        return TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    QList<QByteArray> names;
    const tm_status r = g_backend->containerNames(slot, &names);
    if (r != TM_OK)
        return r;
    QByteArray all;
    for (const QByteArray& n : names) {
        all += n;
        all += '\0';
    }
    return putBytes(buffer, length, all);
}

tm_status container_create_new(int32_t slot, const char* name)
{
    QByteArray n;
    if (const tm_status r = containerCall(slot, name, &n))
        return name ? r : TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    return g_backend->createContainer(slot, n);
}

tm_status container_delete(int32_t slot, const char* name)
{
    QByteArray n;
    if (const tm_status r = containerCall(slot, name, &n))
        return name ? r : TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    return g_backend->deleteContainer(slot, n);
}

tm_status container_get_cert(int32_t slot, const char* name, int32_t keySpec, unsigned char* buffer,
                             int32_t* length)
{
    if (!length || *length < 0 || (*length > 0 && !buffer) || !validSpec(keySpec))
        return TM_ERR_ARGUMENTS;
    QByteArray n;
    if (const tm_status r = containerCall(slot, name, &n))
        return name ? r : TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    QByteArray der;
    const tm_status r = g_backend->certificate(slot, n, keySpec, &der);
    if (r != TM_OK)
        return r;
    return putBytes(buffer, length, der);
}

tm_status container_get_pubkey(int32_t slot, const char* name, int32_t keySpec, int32_t* keyType,
                               int32_t* keyBits, unsigned char* blob, int32_t* length)
{
    if (!keyType || !keyBits || !length || *length < 0 || (*length > 0 && !blob) || !validSpec(keySpec))
        return TM_ERR_ARGUMENTS;
    QByteArray n;
    if (const tm_status r = containerCall(slot, name, &n))
        return name ? r : TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    TokenBackend::KeyInfo k;
    const tm_status r = g_backend->publicKey(slot, n, keySpec, &k);
    if (r != TM_OK)
        return r;
    if (const tm_status put = putBytes(blob, length, k.rawPublicKey); put != TM_OK)
        return put;
    *keyType = k.keyType;
    *keyBits = k.keyBits;
    return TM_OK;
}

tm_status container_get_prikey(int32_t slot, const char* name, int32_t keySpec, int32_t* keyType,
                               int32_t* keyBits)
{
    if (!keyType || !keyBits || !validSpec(keySpec))
        return TM_ERR_ARGUMENTS;
    QByteArray n;
    if (const tm_status r = containerCall(slot, name, &n))
        return name ? r : TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    TokenBackend::KeyInfo k;
    const tm_status r = g_backend->privateKey(slot, n, keySpec, &k);
    if (r != TM_OK)
        return r;
    *keyType = k.keyType;
    *keyBits = k.keyBits;
    return TM_OK;
}

tm_status container_delete_cert(int32_t slot, const char* name, int32_t keySpec)
{
    if (!validSpec(keySpec))
        return TM_ERR_ARGUMENTS;
    QByteArray n;
    if (const tm_status r = containerCall(slot, name, &n))
        return name ? r : TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    return g_backend->deleteCertificate(slot, n, keySpec);
}

tm_status pkcs12_file_parse(const char* path, const char* password, int32_t* count)
{
    if (!count)
        return TM_ERR_ARGUMENTS;
    *count = 0;
    bool ok1 = false, ok2 = true;
    const QByteArray p = narrow(path, MaxNarrow, &ok1);
    QByteArray pw = password ? narrow(password, MaxNarrow, &ok2) : QByteArray();
    tm_status r = TM_ERR_NOT_READY;
    if (!ok1 || !ok2) {
        r = TM_ERR_ARGUMENTS;
    } else {
        TM_LOCK;
        int n = 0;
        if (g_backend)
            r = g_backend->parsePkcs12(p, pw, &n);
        if (r == TM_OK)
            *count = n;
    }
    wipe(pw);
    return r;
}

tm_status p7b_file_parse(const char* path, int32_t* count)
{
    if (!count)
        return TM_ERR_ARGUMENTS;
    *count = 0;
    bool ok = false;
    const QByteArray p = narrow(path, MaxNarrow, &ok);
    if (!ok)
        return TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    int n = 0;
    const tm_status r = g_backend->parsePkcs7(p, &n);
    if (r == TM_OK)
        *count = n;
    return r;
}

static tm_status certInfoOf(bool pkcs12, int32_t index, char* subject, char* issuer, int32_t* kind)
{
    if (!kind)
        return TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    CertFile::Entry e;
    int k = 0;
    const tm_status r = pkcs12 ? g_backend->pkcs12Kind(index, &e, &k) : g_backend->pkcs7Kind(index, &e, &k);
    if (r != TM_OK)
        return r;
    CertInfo info;
    CertInfo::fromDer(e.certificate, &info, CertInfo::Detail::Summary);
    putText(subject, TM_CERT_TEXT_SIZE, utf8Within(info.subject, TM_CERT_TEXT_SIZE - 1));
    putText(issuer, TM_CERT_TEXT_SIZE, utf8Within(info.issuer, TM_CERT_TEXT_SIZE - 1));
    *kind = k;
    return TM_OK;
}

tm_status pkcs12_file_get_certinfo(int32_t index, char* subject, char* issuer, int32_t* kind)
{
    return certInfoOf(true, index, subject, issuer, kind);
}

tm_status p7b_file_get_certinfo(int32_t index, char* subject, char* issuer, int32_t* kind)
{
    return certInfoOf(false, index, subject, issuer, kind);
}

tm_status pkcs12_import_certificate(int32_t slot, const char* container, int32_t keySpec, int32_t index)
{
    if (!validSpec(keySpec))
        return TM_ERR_ARGUMENTS;
    QByteArray n;
    if (const tm_status r = containerCall(slot, container, &n))
        return container ? r : TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    return g_backend->importPkcs12(slot, n, keySpec, index);
}

tm_status p7b_import_certificate(int32_t slot, const char* container, int32_t keySpec, int32_t index)
{
    if (!validSpec(keySpec))
        return TM_ERR_ARGUMENTS;
    QByteArray n;
    if (const tm_status r = containerCall(slot, container, &n))
        return container ? r : TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    return g_backend->importPkcs7(slot, n, keySpec, index);
}

tm_status x509_import_certificate(int32_t slot, const char* container, int32_t keySpec, const char* path)
{
    if (!validSpec(keySpec))
        return TM_ERR_ARGUMENTS;
    QByteArray n;
    if (const tm_status r = containerCall(slot, container, &n))
        return container ? r : TM_ERR_ARGUMENTS;
    bool ok = false;
    const QByteArray p = narrow(path, MaxNarrow, &ok);
    if (!ok)
        return TM_ERR_ARGUMENTS;
    TM_LOCK;
    TM_NEED_BACKEND;
    return g_backend->importX509(slot, n, keySpec, p);
}

tm_status container_addcert_to_store(const char* container, const char* provider, int32_t keySpec,
                                     const unsigned char* data, int32_t length)
{
    bool ok1 = false, ok2 = false;
    const QByteArray c = narrow(container, TokenBackend::MaxContainerName, &ok1);
    const QByteArray p = narrow(provider, MaxNarrow, &ok2);
    if (!ok1 || !ok2 || !validSpec(keySpec) || !data || length <= 0)
        return TM_ERR_ARGUMENTS;
    const QByteArray der(reinterpret_cast<const char*>(data), length);
    if (!CertInfo::fromDer(der, nullptr))
        return TM_ERR_CERTIFICATE;
    TM_LOCK;
    return CertStore::addPersonal(c, p, keySpec, der);
}

tm_status helper_add_root_cert_to_store(const tm_char16* store, const unsigned char* data, int32_t length)
{
    if (!store || !data || length <= 0)
        return TM_ERR_ARGUMENTS;
    qsizetype n = 0;
    while (n < 16 && store[n])
        ++n;
    if (store[n])
        return TM_ERR_ARGUMENTS;
    const QString name = QString::fromUtf16(store, n).toUpper();
    const QByteArray der(reinterpret_cast<const char*>(data), length);
    if (!CertInfo::fromDer(der, nullptr))
        return TM_ERR_CERTIFICATE;
    TM_LOCK;
    return CertStore::addAuthority(name, der);
}

tm_status remove_all_certs_from_store(const char* provider)
{
    bool ok = false;
    const QByteArray p = narrow(provider, MaxNarrow, &ok);
    if (!ok)
        return TM_ERR_ARGUMENTS;
    TM_LOCK;
    return CertStore::removeProvider(p);
}

tm_status helper_get_cert_info2(const unsigned char* data, int32_t length, tm_char16* subject,
                                tm_char16* issuer, int32_t* version, char* serial, tm_date* validFrom,
                                tm_date* validTo, int32_t* kind)
{
    if (!data || length <= 0 || !subject || !issuer || !version || !serial || !validFrom || !validTo || !kind)
        return TM_ERR_ARGUMENTS;
    CertInfo info;
    if (!CertInfo::fromDer(QByteArray(reinterpret_cast<const char*>(data), length), &info,
                           CertInfo::Detail::Summary))
        return TM_ERR_CERTIFICATE;
    putUtf16(subject, TM_CERT_TEXT_SIZE, info.subject);
    putUtf16(issuer, TM_CERT_TEXT_SIZE, info.issuer);
    *version = info.version;
    putText(serial, TM_CERT_TEXT_SIZE, info.serialHex);
    fillDate(validFrom, info.notBefore);
    fillDate(validTo, info.notAfter);
    *kind = info.kind;
    return TM_OK;
}

tm_status helper_show_cert_ui(uintptr_t window, const unsigned char* data, int32_t length)
{
    if (!data || length <= 0)
        return TM_ERR_ARGUMENTS;
    const QByteArray der(reinterpret_cast<const char*>(data), length);
    if (!CertInfo::fromDer(der, nullptr))
        return TM_ERR_CERTIFICATE;
    // The library has no user interface of its own; a viewer library installed beside it may.
    // Found through a symbol of our own that nobody can interpose, so it names this very file.
    static const char anchor = 0;
    Dl_info self{};
    if (!dladdr(&anchor, &self) || !self.dli_fname)
        return TM_ERR_NO_UI;
    QByteArray path(self.dli_fname);
    path = path.left(path.lastIndexOf('/') + 1) + TM_UI_LIBRARY;
    // Once found, the viewer library stays loaded for the life of the process: a dialog it showed may
    // have left objects behind.
    static void* ui = nullptr;
    if (!ui)
        ui = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!ui)
        return TM_ERR_NO_UI;
    using Show = tm_status (*)(uintptr_t, const unsigned char*, int32_t);
    auto show = reinterpret_cast<Show>(dlsym(ui, TM_UI_ENTRY));
    return show ? show(window, data, length) : TM_ERR_NO_UI;
}
}
