// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QtGlobal>

// 32-bit statuses returned by the token service layer: 0 is success, anything else a failure.
// Library statuses pass through unchanged; the layer adds only the codes below that it raises itself.
namespace TokenStatus {
constexpr quint32 Success = 0;
// FindAndConnectTokens: no token present, or the enumeration failed.
constexpr quint32 NoToken = 1;
// Certificate import without the user's login rights.
constexpr quint32 NoRights = 3;
// Certificate import on a token with no room left.
constexpr quint32 OutOfSpace = 0x0A000030;
// A certificate larger than any token object can hold (not a full token).
constexpr quint32 CertificateTooLarge = 0x0A000031;
// A container, certificate or other input that cannot be handed to the library without overflowing
// one of its fixed buffers; nothing was sent and nothing was written.
constexpr quint32 TooLong = 0x0A000020;
// An argument the library must not see (negative count, short data for the given count).
constexpr quint32 BadArgument = 0x0A000006;
// Bytes that are not exactly one DER certificate.
constexpr quint32 NotACertificate = 0x0A000115;
// Another program held the token for longer than a change may wait; nothing was written.
constexpr quint32 Busy = 0x0A000125;
// A login's verdicts on the PIN: wrong, or locked. A login failing otherwise (a token pulled out, a
// device error) has not reached the PIN, so a retries-left count of 0 then does not mean locked.
constexpr quint32 PinIncorrect = 0x0A000024;
constexpr quint32 PinLocked = 0x0A000025;
// A PIN shorter or longer than the token's limits: it cannot be the PIN and costs no try.
constexpr quint32 PinLengthRange = 0x0A000027;
// The token was pulled out, or its slot holds no connected token: find and connect again.
constexpr quint32 TokenRemoved = 0x0A000023;
constexpr quint32 NoSuchSlot = 0x0A000103;
// The token's PKCS#11 module has no way to do what was asked; nothing was changed.
constexpr quint32 NotSupported = 0x0A000126;
// No container, certificate or key of that name; for an unlock response, no virtual token with that
// serial.
constexpr quint32 NotFound = 0x0A000108;
// Tries left that the token does not tell (a PKCS#11 token reports only locked, final try or low).
constexpr qint32 RetriesUnknown = -1;
// RegisterTokenCertificates adds this to the library status of the store call that failed.
constexpr quint32 RegisterFailedBase = 20000;
} // namespace TokenStatus
