// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "token/CertKind.h"
#include "token/KeySpec.h"
#include "token/KeyType.h"
#include "token/PinType.h"
#include "token/TPinState.h"
#include "token/TQ7CertInfo.h"
#include "token/TQ7Info.h"
#include "token/TokenStatus.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>

// The token service layer: the only code that calls the token manager library. Each function wraps
// one library operation, converts text to the library's narrow encodings and back, supplies the
// fixed buffers the library fills and turns its outputs into records. Every function returns the
// library's 32-bit status (0 = success) unless noted; nothing is shown and no state is kept. A record
// handed in is written only when the call succeeds. `slot` is the zero-based index of a connected
// token in the order FindAndConnectTokens found it.
namespace CerMgrApis {

// Library start and stop.
// `moduleName` chooses the library's backend (the catalog text PKCS11Name in the tool).
quint32 InitTokenLibrary(const QString& moduleName);
quint32 FreeTokenLibrary();

// Enumerates the tokens (at most 32) and connects each. Returns TokenStatus::NoToken with count 0
// when none is found or enumeration failed, else the status of the last connect, with count set.
quint32 FindAndConnectTokens(qint32& count);
// Fills everything in `info` except ContainerCount and ContainerNames.
quint32 ReadTokenInfo(qint32 slot, TQ7Info& info);
// Fills ContainerCount and ContainerNames (at most TQ7Info::MaxContainerNames names).
quint32 LoadContainerNames(qint32 slot, TQ7Info& info);
quint32 ReloadTokenObjects(qint32 slot);

// Reads one certificate with its public key's type and size and what the library reads from it.
// When the container holds no public key for `keySpec`, KeyType and KeyBits keep their previous values.
// A certificate larger than TQ7CertInfo::CertCapacity is refused.
quint32 ReadCertificateInfo(qint32 slot, const QString& container, KeySpec keySpec, TQ7CertInfo& info);
// The certificate's DER bytes (at most TQ7CertInfo::CertCapacity); `cert` is untouched on failure.
quint32 ReadCertificate(qint32 slot, const QString& container, KeySpec keySpec, QByteArray& cert);
// Status 0 means the container holds that key; `keyType` then holds a KeyType value.
quint32 ReadPublicKeyType(qint32 slot, const QString& container, KeySpec keySpec, qint32& keyType);
quint32 ReadPrivateKeyType(qint32 slot, const QString& container, KeySpec keySpec, qint32& keyType);

// Certificate stores.
quint32 AddCertToStore(const QString& container, const QString& provider, KeySpec keySpec,
                       const QByteArray& cert);
quint32 AddRootCertToStore(const QString& storeName, const QByteArray& cert); // "ROOT" or "CA"
quint32 RemoveAllCertsFromStore(const QString& provider);
// Shows a certificate, modal to the native window `owner` (0 = none): in the viewer the tool installed,
// else in whatever viewer the library offers (which may answer that it has none).
quint32 ShowCertificateDialog(quintptr owner, const QByteArray& cert);
// The tool's certificate viewer; an empty function removes it again.
void SetCertificateViewer(std::function<quint32(quintptr owner, const QByteArray& cert)> viewer);
// What the library reads from certificate bytes (names, version, serial, validity, kind), as
// ReadCertificateInfo gives it for a certificate on a token. Bytes that are not exactly one DER
// certificate are refused with the library's status; `info` is written only on success.
quint32 DescribeCertificate(const QByteArray& cert, TQ7CertInfo& info);

// Containers and certificates.
quint32 CreateContainer(qint32 slot, const QString& name);
quint32 DeleteContainer(qint32 slot, const QString& name);
quint32 DeleteCertificate(qint32 slot, const QString& name, KeySpec keySpec);

// Certificate files: a parse keeps the file in the library; the other calls address its
// certificates by index. `kind` receives a CertKind value.
quint32 ParsePkcs12File(const QString& path, const QString& password, qint32& count);
quint32 GetPkcs12CertInfo(qint32 index, qint32& kind);
quint32 ImportPkcs12Certificate(qint32 slot, const QString& container, KeySpec keySpec, qint32 index);
quint32 ImportX509Certificate(qint32 slot, const QString& container, KeySpec keySpec, const QString& path);
quint32 ParseP7bFile(const QString& path, qint32& count);
quint32 GetP7bCertInfo(qint32 index, qint32& kind);
quint32 ImportP7bCertificate(qint32 slot, const QString& container, KeySpec keySpec, qint32 index);

// PINs. An empty PIN on a token with a fingerprint sensor asks the library for a finger instead.
// On a failed login `retriesLeft` tells the attempts left (0 = locked).
quint32 LoginUser(qint32 slot, const QString& pin, qint32& retriesLeft);
quint32 LogoutToken(qint32 slot);
// Never fails: a failed query leaves every value of `state` 0.
void ReadPinState(qint32 slot, PinType type, TPinState& state);
quint32 ChangeUserPin(qint32 slot, const QString& oldPin, const QString& newPin);
// Refuses (TokenStatus::TooLong, nothing sent) a label of 64 or more bytes in UTF-8.
quint32 SetTokenLabel(qint32 slot, const QString& label);
quint32 LoginSO(qint32 slot, const QString& soPin, qint32& retriesLeft);
quint32 ChangeSOPin(qint32 slot, const QString& oldSoPin, const QString& newSoPin);
quint32 ResetUserPin(qint32 slot, const QString& soPin, const QString& newUserPin);

// Administration. `parameters` is the 166-byte initialization parameter record (shorter is padded
// with zeros, longer is refused).
quint32 FormatToken(qint32 slot, const QByteArray& parameters);
constexpr qsizetype FormatRecordSize = 166;
// Writes `count` sectors of SectorSize bytes from `data`, which must hold that many bytes.
quint32 WriteSectors(qint32 slot, qint32 first, qint32 count, const QByteArray& data);
constexpr qsizetype SectorSize = 2048;
// `challenge` receives the library's 32-byte challenge buffer; the challenge is its first 8 bytes.
quint32 GetChallenge(qint32 slot, QByteArray& challenge);
constexpr qsizetype ChallengeBufferSize = 32;
// Hands the first `length` bytes of `response` to the library; a length beyond the bytes held is
// refused (TokenStatus::BadArgument, nothing sent).
quint32 RemoteUnlockUserPin(qint32 slot, const QByteArray& response, qint32 length);
// The administrator's side: the response that unlocks the token with `serial` for its 8-byte
// `challenge`. Only virtual tokens answer; a PKCS#11 token's issuer computes its responses
// (TokenStatus::NotSupported). A serial or challenge the library cannot take is refused
// (TokenStatus::BadArgument, nothing sent).
quint32 GenUnlockResponse(const QString& serial, const QByteArray& challenge, QByteArray& response);
constexpr qsizetype ChallengeBytes = 8;

} // namespace CerMgrApis
