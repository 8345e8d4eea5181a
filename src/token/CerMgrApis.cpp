// SPDX-License-Identifier: BSD-3-Clause
#include "token/CerMgrApis.h"

#include "token/AnsiText.h"
#include "token/ContainerNameList.h"
#include "token/SecretBuffer.h"

#include "TokenMgr.h"

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <vector>

// The layer's own refusals reuse the library's codes, so a caller shows one code per cause.
static_assert(TokenStatus::TooLong == TM_ERR_BUFFER_TOO_SMALL);
static_assert(TokenStatus::BadArgument == TM_ERR_ARGUMENTS);
static_assert(TokenStatus::NoRights == TM_ERR_NOT_LOGGED_IN);
static_assert(TokenStatus::OutOfSpace == TM_ERR_NO_SPACE);
static_assert(TokenStatus::CertificateTooLarge == TM_ERR_CERT_TOO_LARGE);
static_assert(TokenStatus::Busy == TM_ERR_BUSY);
static_assert(TokenStatus::NotACertificate == TM_ERR_CERTIFICATE);
static_assert(TokenStatus::PinIncorrect == TM_ERR_PIN_INCORRECT);
static_assert(TokenStatus::PinLocked == TM_ERR_PIN_LOCKED);
static_assert(TokenStatus::NotSupported == TM_ERR_NOT_SUPPORTED);
static_assert(TokenStatus::RetriesUnknown == TM_RETRIES_UNKNOWN);
static_assert(TQ7Info::MemoryUnknown == TM_MEMORY_UNKNOWN);
static_assert(TQ7Info::SetLabel == TM_FEATURE_SET_LABEL &&
              TQ7Info::RemoteUnlock == TM_FEATURE_REMOTE_UNLOCK && TQ7Info::Sectors == TM_FEATURE_SECTORS &&
              TQ7Info::ExactRetries == TM_FEATURE_EXACT_RETRIES);

static_assert(TQ7CertInfo::CertCapacity <= std::numeric_limits<int32_t>::max());
static_assert(CerMgrApis::FormatRecordSize == TM_FORMAT_RECORD_SIZE);
static_assert(CerMgrApis::SectorSize == TM_SECTOR_SIZE);
static_assert(CerMgrApis::ChallengeBufferSize == TM_CHALLENGE_SIZE);

namespace {

constexpr int32_t kSlotTableSize = TM_MAX_SLOTS;
constexpr int32_t kContainerListSize = 8192;
// A list that does not fit the first buffer is read once more into one of the size the library asks
// for, up to this bound; only the first names are kept anyway.
constexpr int32_t kContainerListLimit = 1 << 20;
constexpr int32_t kKeyBlobSize = 256;
constexpr int32_t kKeyBlobLimit = 1 << 16;
constexpr int32_t kLabelFieldSize = TM_LABEL_FIELD_SIZE;
constexpr qsizetype kCertTextSize = TM_CERT_TEXT_SIZE;

// Extended initialization text; empty in this build, so the plain initialization is used.
constexpr char kExtendedInitText[] = "";

template <std::size_t N> QString fieldText(const std::array<char, N>& field)
{
    return AnsiText::decode(QByteArrayView(field.data(), qsizetype(N)));
}

QString utf16Text(const std::array<tm_char16, kCertTextSize>& field)
{
    qsizetype len = 0;
    while (len < qsizetype(field.size()) && field[len] != 0)
        ++len;
    return QString::fromUtf16(field.data(), len);
}

QString dateText(const tm_date& date)
{
    return QString::asprintf("%.4d-%.2d-%.2d", int(date.year), int(date.month), int(date.day));
}

const unsigned char* bytes(const QByteArray& data)
{
    return reinterpret_cast<const unsigned char*>(data.constData());
}

// Reads the public key's type and size; the blob itself is not wanted. A key whose blob does not fit
// the usual scratch buffer (RSA keys above 2048 bits) is read again into a larger one, so that
// such a key is not taken for a missing one.
tm_status queryPublicKey(int32_t slot, const QByteArray& name, KeySpec keySpec, int32_t& type, int32_t& bits)
{
    std::vector<unsigned char> blob(kKeyBlobSize, 0);
    int32_t length = kKeyBlobSize;
    tm_status status =
        container_get_pubkey(slot, name.constData(), int32_t(keySpec), &type, &bits, blob.data(), &length);
    if (status == TM_ERR_BUFFER_TOO_SMALL) {
        const int32_t wanted = length > kKeyBlobSize && length <= kKeyBlobLimit ? length : kKeyBlobLimit;
        blob.assign(std::size_t(wanted), 0);
        length = wanted;
        status = container_get_pubkey(slot, name.constData(), int32_t(keySpec), &type, &bits, blob.data(),
                                      &length);
    }
    return status;
}

// Kind of a certificate in the parsed file; the library's two texts are not wanted.
tm_status fileCertKind(tm_status (*query)(int32_t, char*, char*, int32_t*), int32_t index, int32_t& kind)
{
    std::array<char, kCertTextSize> subject{};
    std::array<char, kCertTextSize> issuer{};
    return query(index, subject.data(), issuer.data(), &kind);
}

tm_status readCertificate(int32_t slot, const QByteArray& name, KeySpec keySpec,
                          std::array<char, TQ7CertInfo::CertCapacity>& buffer, int32_t& length)
{
    length = TQ7CertInfo::CertCapacity;
    const tm_status status = container_get_cert(slot, name.constData(), int32_t(keySpec),
                                                reinterpret_cast<unsigned char*>(buffer.data()), &length);
    if (status != TM_OK)
        return status;
    // A length beyond the buffer would make every later reader run past it.
    if (length < 0 || length > TQ7CertInfo::CertCapacity)
        return TokenStatus::TooLong;
    return TM_OK;
}

// What the library reads from a certificate's DER bytes: names, version, serial, validity and kind.
// Only those fields of `info` are written, and only on success.
tm_status describe(QByteArrayView der, TQ7CertInfo& info)
{
    std::array<tm_char16, kCertTextSize> subject{};
    std::array<tm_char16, kCertTextSize> issuer{};
    std::array<char, kCertTextSize> serial{};
    int32_t version = 0;
    int32_t kind = 0;
    tm_date from{};
    tm_date to{};
    const tm_status status =
        helper_get_cert_info2(reinterpret_cast<const unsigned char*>(der.data()), int32_t(der.size()),
                              subject.data(), issuer.data(), &version, serial.data(), &from, &to, &kind);
    if (status != TM_OK)
        return status;
    info.Subject = utf16Text(subject);
    info.Issuer = utf16Text(issuer);
    info.Version = version;
    info.SerialNumber = fieldText(serial);
    info.Kind = kind;
    info.ValidFromText = dateText(from);
    info.ValidToText = dateText(to);
    info.ValidFrom = {from.year, from.month, from.day};
    info.ValidTo = {to.year, to.month, to.day};
    return TM_OK;
}

std::function<quint32(quintptr, const QByteArray&)>& installedViewer()
{
    static std::function<quint32(quintptr, const QByteArray&)> viewer;
    return viewer;
}

} // namespace

namespace CerMgrApis {

quint32 InitTokenLibrary(const QString& moduleName)
{
    const QByteArray module = AnsiText::encode(moduleName);
    if (kExtendedInitText[0] != '\0')
        return init_pkcs11_ex(kExtendedInitText, "qx4100", "QX4100RSA", module.constData());
    return init_pkcs11(module.constData());
}

quint32 FreeTokenLibrary()
{
    return uninit_pkcs11();
}

quint32 FindAndConnectTokens(qint32& count)
{
    std::array<uint32_t, kSlotTableSize> ids{};
    int32_t found = kSlotTableSize;
    const tm_status status = token_find(ids.data(), &found);
    if (status != TM_OK || found <= 0) {
        count = 0;
        return TokenStatus::NoToken;
    }
    // The table has room for this many; a larger count is not trusted.
    found = qMin(found, kSlotTableSize);
    tm_status last = TM_OK;
    for (int32_t i = 0; i < found; ++i)
        last = token_connect(i);
    count = found;
    return last;
}

quint32 ReadTokenInfo(qint32 slot, TQ7Info& info)
{
    std::array<char, TM_SERIAL_SIZE> serial{};
    std::array<char, TM_LABEL_SIZE> label{};
    std::array<char, TM_MANUFACTURER_SIZE> manufacturer{};
    std::array<char, TM_MODEL_SIZE> model{};
    int32_t maxPin = 0, minPin = 0, maxSoPin = 0, minSoPin = 0, total = 0, free = 0, hardware = 0,
            firmware = 0, initialized = 0, finger = 0;
    const tm_status status = token_get_info_ex(slot, serial.data(), label.data(), manufacturer.data(),
                                               model.data(), &maxPin, &minPin, &maxSoPin, &minSoPin, &total,
                                               &free, &hardware, &firmware, &initialized, &finger);
    if (status != TM_OK)
        return status;
    info.SerialNumber = fieldText(serial);
    info.Label = AnsiText::decodeUtf8(QByteArrayView(label.data(), qsizetype(label.size())));
    info.Manufacturer = fieldText(manufacturer);
    info.Model = fieldText(model);
    info.MaxPinLen = maxPin;
    info.MinPinLen = minPin;
    info.MaxSoPinLen = maxSoPin;
    info.MinSoPinLen = minSoPin;
    info.TotalMemory = total;
    info.FreeMemory = free;
    info.HardwareVersion = hardware;
    info.FirmwareVersion = firmware;
    info.Initialized = initialized;
    info.FingerSupport = finger;
    uint32_t features = 0;
    info.Features = token_get_features(slot, &features) == TM_OK ? features : TQ7Info::AllFeatures;
    return TM_OK;
}

quint32 LoadContainerNames(qint32 slot, TQ7Info& info)
{
    std::vector<char> buffer(kContainerListSize, 0);
    int32_t length = kContainerListSize;
    tm_status status = container_load_all(slot, buffer.data(), &length);
    if (status == TM_ERR_BUFFER_TOO_SMALL && length > kContainerListSize && length <= kContainerListLimit) {
        buffer.assign(std::size_t(length), 0);
        status = container_load_all(slot, buffer.data(), &length);
    }
    if (status != TM_OK)
        return status;
    length = qBound<int32_t>(0, length, int32_t(buffer.size()));
    info.ContainerNames =
        ContainerNameList::parse(QByteArrayView(buffer.data(), length), TQ7Info::MaxContainerNames);
    info.ContainerCount = qint32(info.ContainerNames.size());
    return TM_OK;
}

quint32 ReloadTokenObjects(qint32 slot)
{
    return token_reload_all_objects(slot);
}

quint32 ReadCertificateInfo(qint32 slot, const QString& container, KeySpec keySpec, TQ7CertInfo& info)
{
    const QByteArray name = AnsiText::encode(container);
    std::array<char, TQ7CertInfo::CertCapacity> cert{};
    int32_t certLen = 0;
    tm_status status = readCertificate(slot, name, keySpec, cert, certLen);
    if (status != TM_OK)
        return status;

    int32_t keyType = info.KeyType;
    int32_t keyBits = info.KeyBits;
    if (queryPublicKey(slot, name, keySpec, keyType, keyBits) != TM_OK) {
        keyType = info.KeyType;
        keyBits = info.KeyBits;
    }

    TQ7CertInfo read;
    status = describe(QByteArrayView(cert.data(), certLen), read);
    if (status != TM_OK)
        return status;
    read.CertData = cert;
    read.CertLen = certLen;
    read.KeyType = keyType;
    read.KeyBits = keyBits;
    info = std::move(read);
    return TM_OK;
}

quint32 DescribeCertificate(const QByteArray& cert, TQ7CertInfo& info)
{
    if (cert.isEmpty())
        return TokenStatus::BadArgument;
    if (cert.size() > TQ7CertInfo::CertCapacity)
        return TokenStatus::TooLong;
    TQ7CertInfo read;
    const tm_status status = describe(cert, read);
    if (status != TM_OK)
        return status;
    std::copy(cert.cbegin(), cert.cend(), read.CertData.begin());
    read.CertLen = qint32(cert.size());
    info = std::move(read);
    return TM_OK;
}

quint32 ReadCertificate(qint32 slot, const QString& container, KeySpec keySpec, QByteArray& cert)
{
    std::array<char, TQ7CertInfo::CertCapacity> buffer{};
    int32_t length = 0;
    const tm_status status = readCertificate(slot, AnsiText::encode(container), keySpec, buffer, length);
    if (status != TM_OK)
        return status;
    cert = QByteArray(buffer.data(), length);
    return TM_OK;
}

quint32 ReadPublicKeyType(qint32 slot, const QString& container, KeySpec keySpec, qint32& keyType)
{
    int32_t type = 0;
    int32_t bits = 0;
    const tm_status status = queryPublicKey(slot, AnsiText::encode(container), keySpec, type, bits);
    if (status == TM_OK)
        keyType = type;
    return status;
}

quint32 ReadPrivateKeyType(qint32 slot, const QString& container, KeySpec keySpec, qint32& keyType)
{
    int32_t type = 0;
    int32_t bits = 0;
    const tm_status status =
        container_get_prikey(slot, AnsiText::encode(container).constData(), int32_t(keySpec), &type, &bits);
    if (status == TM_OK)
        keyType = type;
    return status;
}

quint32 AddCertToStore(const QString& container, const QString& provider, KeySpec keySpec,
                       const QByteArray& cert)
{
    if (cert.size() > std::numeric_limits<int32_t>::max())
        return TokenStatus::TooLong;
    return container_addcert_to_store(AnsiText::encode(container).constData(),
                                      AnsiText::encode(provider).constData(), int32_t(keySpec), bytes(cert),
                                      int32_t(cert.size()));
}

quint32 AddRootCertToStore(const QString& storeName, const QByteArray& cert)
{
    if (cert.size() > std::numeric_limits<int32_t>::max())
        return TokenStatus::TooLong;
    return helper_add_root_cert_to_store(reinterpret_cast<const tm_char16*>(storeName.utf16()), bytes(cert),
                                         int32_t(cert.size()));
}

quint32 RemoveAllCertsFromStore(const QString& provider)
{
    return remove_all_certs_from_store(AnsiText::encode(provider).constData());
}

void SetCertificateViewer(std::function<quint32(quintptr, const QByteArray&)> viewer)
{
    installedViewer() = std::move(viewer);
}

quint32 ShowCertificateDialog(quintptr owner, const QByteArray& cert)
{
    if (cert.isEmpty())
        return TokenStatus::BadArgument;
    if (cert.size() > TQ7CertInfo::CertCapacity)
        return TokenStatus::TooLong;
    if (const auto& viewer = installedViewer())
        return viewer(owner, cert);
    return helper_show_cert_ui(owner, bytes(cert), int32_t(cert.size()));
}

quint32 CreateContainer(qint32 slot, const QString& name)
{
    return container_create_new(slot, AnsiText::encode(name).constData());
}

quint32 DeleteContainer(qint32 slot, const QString& name)
{
    return container_delete(slot, AnsiText::encode(name).constData());
}

quint32 DeleteCertificate(qint32 slot, const QString& name, KeySpec keySpec)
{
    return container_delete_cert(slot, AnsiText::encode(name).constData(), int32_t(keySpec));
}

quint32 ParsePkcs12File(const QString& path, const QString& password, qint32& count)
{
    const SecretBuffer secret(password);
    return pkcs12_file_parse(AnsiText::encode(path).constData(), secret.constData(), &count);
}

quint32 GetPkcs12CertInfo(qint32 index, qint32& kind)
{
    return fileCertKind(pkcs12_file_get_certinfo, index, kind);
}

quint32 ImportPkcs12Certificate(qint32 slot, const QString& container, KeySpec keySpec, qint32 index)
{
    return pkcs12_import_certificate(slot, AnsiText::encode(container).constData(), int32_t(keySpec), index);
}

quint32 ImportX509Certificate(qint32 slot, const QString& container, KeySpec keySpec, const QString& path)
{
    return x509_import_certificate(slot, AnsiText::encode(container).constData(), int32_t(keySpec),
                                   AnsiText::encode(path).constData());
}

quint32 ParseP7bFile(const QString& path, qint32& count)
{
    return p7b_file_parse(AnsiText::encode(path).constData(), &count);
}

quint32 GetP7bCertInfo(qint32 index, qint32& kind)
{
    return fileCertKind(p7b_file_get_certinfo, index, kind);
}

quint32 ImportP7bCertificate(qint32 slot, const QString& container, KeySpec keySpec, qint32 index)
{
    return p7b_import_certificate(slot, AnsiText::encode(container).constData(), int32_t(keySpec), index);
}

quint32 LoginUser(qint32 slot, const QString& pin, qint32& retriesLeft)
{
    const SecretBuffer secret(pin);
    return token_login(slot, secret.constData(), &retriesLeft);
}

quint32 LogoutToken(qint32 slot)
{
    return token_logout(slot);
}

void ReadPinState(qint32 slot, PinType type, TPinState& state)
{
    state = TPinState{};
    TPinState read;
    if (token_get_pin_state(slot, int32_t(type), &read.RetriesLeft, &read.MaxRetries, &read.MinLength,
                            &read.MaxLength, &read.Locked, &read.LoggedIn) == TM_OK)
        state = read;
}

quint32 ChangeUserPin(qint32 slot, const QString& oldPin, const QString& newPin)
{
    const SecretBuffer oldSecret(oldPin);
    const SecretBuffer newSecret(newPin);
    return token_change_upin(slot, oldSecret.constData(), newSecret.constData());
}

quint32 SetTokenLabel(qint32 slot, const QString& label)
{
    const QByteArray utf8 = label.toUtf8();
    // The field must keep a NUL after the text; cutting would change the label the user chose.
    if (utf8.size() >= kLabelFieldSize)
        return TokenStatus::TooLong;
    std::array<char, kLabelFieldSize> field{};
    std::copy(utf8.cbegin(), utf8.cend(), field.begin());
    return token_set_label(slot, field.data());
}

quint32 LoginSO(qint32 slot, const QString& soPin, qint32& retriesLeft)
{
    const SecretBuffer secret(soPin);
    return token_login_so(slot, secret.constData(), &retriesLeft);
}

quint32 ChangeSOPin(qint32 slot, const QString& oldSoPin, const QString& newSoPin)
{
    const SecretBuffer oldSecret(oldSoPin);
    const SecretBuffer newSecret(newSoPin);
    return token_change_sopin(slot, oldSecret.constData(), newSecret.constData());
}

quint32 ResetUserPin(qint32 slot, const QString& soPin, const QString& newUserPin)
{
    const SecretBuffer soSecret(soPin);
    const SecretBuffer userSecret(newUserPin);
    return token_set_upin(slot, soSecret.constData(), userSecret.constData());
}

quint32 FormatToken(qint32 slot, const QByteArray& parameters)
{
    if (parameters.size() > FormatRecordSize)
        return TokenStatus::BadArgument;
    // The record carries both new PINs: build it in a buffer that is wiped afterwards.
    SecretBuffer record(FormatRecordSize);
    std::copy(parameters.cbegin(), parameters.cend(), record.data());
    return token_format(slot, reinterpret_cast<const unsigned char*>(record.constData()));
}

quint32 WriteSectors(qint32 slot, qint32 first, qint32 count, const QByteArray& data)
{
    if (first < 0 || count < 0 || qint64(count) * SectorSize > data.size())
        return TokenStatus::BadArgument;
    return token_write_sectors(slot, first, count, bytes(data));
}

quint32 GetChallenge(qint32 slot, QByteArray& challenge)
{
    std::array<unsigned char, ChallengeBufferSize> buffer{};
    const tm_status status = token_get_challenge(slot, buffer.data());
    if (status == TM_OK)
        challenge = QByteArray(reinterpret_cast<const char*>(buffer.data()), ChallengeBufferSize);
    return status;
}

quint32 RemoteUnlockUserPin(qint32 slot, const QByteArray& response, qint32 length)
{
    if (length < 0 || length > response.size())
        return TokenStatus::BadArgument;
    return token_remote_unlock_upin(slot, bytes(response), length);
}

quint32 GenUnlockResponse(const QString& serial, const QByteArray& challenge, QByteArray& response)
{
    static_assert(ChallengeBytes == TM_CHALLENGE_BYTES);
    const QByteArray name = AnsiText::encode(serial);
    if (challenge.size() != ChallengeBytes || name.isEmpty() || name.size() >= TM_SERIAL_SIZE ||
        name.contains('\0'))
        return TokenStatus::BadArgument;
    std::array<unsigned char, TM_UNLOCK_RESPONSE_BYTES> buffer{};
    const tm_status status = token_unlock_response(name.constData(), bytes(challenge), buffer.data());
    if (status == TM_OK)
        response = QByteArray(reinterpret_cast<const char*>(buffer.data()), qsizetype(buffer.size()));
    return status;
}

} // namespace CerMgrApis
