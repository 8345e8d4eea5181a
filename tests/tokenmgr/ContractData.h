// SPDX-License-Identifier: BSD-3-Clause
#pragma once

// PINs and certificate bytes the token-library tests share.
#include <QByteArray>
#include <QString>

namespace ContractData {

inline const QByteArray UserPin("12345678");
inline const QByteArray SoPin("87654321");

inline QString serialFor(int i)
{
    return QStringLiteral("QX41TEST%1").arg(i, 8, 10, QLatin1Char('0'));
}

// A small self-signed EC certificate (DER).
inline QByteArray tinyCert()
{
    return QByteArray::fromBase64(
        "MIIBcjCCARmgAwIBAgIUHe+Pp96IkSFY+0z9UcJh6od2PkMwCgYIKoZIzj0EAwIwDzENMAsGA1UEAwwEVGlueTAeFw0yNjEyMTAx"
        "MjI3MzFaFw0zNjEyMDcxMjI3MzFaMA8xDTALBgNVBAMMBFRpbnkwWTATBgcqhkjOPQIBBggqhkjOPQMBBwNCAASgHj8rNkcWiCPy"
        "4Bmi0tMN4dBaDnBNs4fHKFISzhPz/zFVp2cVuQiX+45P0sM69vT1xFicWScUx326IYeLN/Sso1MwUTAdBgNVHQ4EFgQUy02PXwf9"
        "5R9jyOBwLBTrlrHOMpkwHwYDVR0jBBgwFoAUy02PXwf95R9jyOBwLBTrlrHOMpkwDwYDVR0TAQH/BAUwAwEB/zAKBggqhkjOPQQD"
        "AgNHADBEAiBJtOgJNtNaA3LXsGSzK+"
        "6SsruRednUMjsu8K6egqVKCwIgWhx2WdK5NsHGokjoaATiNijWGPMwgjatBytXulpBsew=");
}

// The public key of tinyCert() as DER SubjectPublicKeyInfo (EC P-256).
inline QByteArray tinyKey()
{
    return QByteArray::fromBase64(
        "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEoB4/KzZHFogj8uAZotLTDeHQWg5wTbOHxyhSEs4T8/8x"
        "VadnFbkIl/uOT9LDOvb09cRYnFknFMd9uiGHizf0rA==");
}

// An EC P-256 key pair with its self-signed certificate, for containers that hold a usable key.
inline QByteArray keyedCert()
{
    return QByteArray::fromBase64(
        "MIIBdTCCARugAwIBAgIUHUXFsoN7Ml7Mp+IuxJv2/w1Mj1UwCgYIKoZIzj0EAwIwEDEOMAwGA1UEAwwFS2V5ZWQwHhcNMjYxMjEx"
        "MDc1NzM1WhcNMzYxMjA4MDc1NzM1WjAQMQ4wDAYDVQQDDAVLZXllZDBZMBMGByqGSM49AgEGCCqGSM49AwEHA0IABATqvYlSr3l6"
        "8hikbT2SwouwTy1kkxCeNmpa14e8rZvI7+YdHWEri5Q3tr/zPn+H78eOqW3PVsoP6Cvd+ZjhpAKjUzBRMB0GA1UdDgQWBBTSaTdZ"
        "o4TmAGEFOfJ6q5aMY+IflTAfBgNVHSMEGDAWgBTSaTdZo4TmAGEFOfJ6q5aMY+IflTAPBgNVHRMBAf8EBTADAQH/MAoGCCqGSM49"
        "BAMCA0gAMEUCIQDMxDHxM85DUkLrGTRLi/DOuPKwB2CyONweZ3mdC6/e0gIge+Aho/sShx1aSKXpiEt5pLdaWOAEk5ACrzOGjQ5A"
        "pzU=");
}

// The public key of keyedCert() as DER SubjectPublicKeyInfo.
inline QByteArray keyedPublicKey()
{
    return QByteArray::fromBase64(
        "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEBOq9iVKveXryGKRtPZLCi7BPLWSTEJ42alrXh7yt"
        "m8jv5h0dYSuLlDe2v/M+f4fvx46pbc9Wyg/oK935mOGkAg==");
}

// The private key of keyedCert() as DER PKCS#8.
inline QByteArray keyedPrivateKey()
{
    return QByteArray::fromBase64(
        "MIGHAgEAMBMGByqGSM49AgEGCCqGSM49AwEHBG0wawIBAQQgKnTV5+CJP7T4qXpftI+iMWoDWCE8"
        "MCGGrDSJGIClflKhRANCAAQE6r2JUq95evIYpG09ksKLsE8tZJMQnjZqWteHvK2byO/mHR1hK4uU"
        "N7a/8z5/h+/Hjqltz1bKD+gr3fmY4aQC");
}

// keyedCert() with its key in a PKCS#12 file, password KeyedPassword.
inline constexpr const char* KeyedPassword = "keyed";
inline QByteArray keyedPkcs12()
{
    return QByteArray::fromBase64(
        "MIIEDAIBAzCCA8IGCSqGSIb3DQEHAaCCA7MEggOvMIIDqzCCAmIGCSqGSIb3DQEHBqCCAlMwggJPAgEAMIICSAYJKoZIhvcNAQcB"
        "MFcGCSqGSIb3DQEFDTBKMCkGCSqGSIb3DQEFDDAcBAgToJQa6xojAgICCAAwDAYIKoZIhvcNAgkFADAdBglghkgBZQMEASoEEOF1"
        "BRyOoEeTRqOL7a6LxV2AggHgMsdrhncsyvC90QQeGQ97d0z009/5/WSwCTevyC9Z2nnXTBXWjDti1gRG7/Dq7jZwzeAKb121nIb6"
        "LYm7hIC6vw3zbAZjOwDEyN/y6qOsC1ujLSTa7cq/1FuQpWqu6q94d0NjYl0iVBlbB2oTBzM2Ajj0oFJ/CE7uGiI0vF8VbOLQ22Ui"
        "8Ty3+iNpkqmRGGndhDdIKKNZWyNiGK3i48C63i/+JOQiBANgrlVeZrYpYuAFhHE3nCEVMWTu4iNpMdyNkKT/CWlXTt2BRzJ2AHpZ"
        "J0gAP7qVop20nOVtpkUDCVfqJyJ8LU2S7pRTomnPz+JB+rDPINTJPnJKMB4eu/OlbpKX+UY/4p62JaNBdf1e+SgKZBQiSDIdYBmc"
        "daaY2/9653l4D1tjHZJda2Tfu2z2EaXiM3cuy9i4snF02L0IrFTWYRKlLLFZL5G2wYVLY5N3isei1SVmV0sXX25VNOy/xBD3LFiU"
        "dyzrZXw9VzbIgPwk4qhCQIap8wXVI4evB2DxWpCB0YHtL7WnWFzZ1wdsEHnlg6mX/4nwmm5TvlN5ZqnfPoQs/L6evyXZjMKDjVqR"
        "5tcRav7alq6+Zp3CcLg1c7WxxJ4dS5xtJYT9RGjDErlUvdX5XEOb9VzmzJo/VrzgMIIBQQYJKoZIhvcNAQcBoIIBMgSCAS4wggEq"
        "MIIBJgYLKoZIhvcNAQwKAQKgge8wgewwVwYJKoZIhvcNAQUNMEowKQYJKoZIhvcNAQUMMBwECIkPsHjkqUJCAgIIADAMBggqhkiG"
        "9w0CCQUAMB0GCWCGSAFlAwQBKgQQxZkNfBwvTxDX7H8Bh1tg2QSBkBEbO5znreJ8w5yTJgR+jk/7A+GJO9h4CrSn5s8MK4ak3wE8"
        "cSTuwnVzHyxfVj0SF1h2cR9ZzissXRLhFDolep87jacMjC5nvkA6Z/e8Gx9QzkW4FvQX4ko/rukYvQo27BKK4OBZ0aHHWWmQ8ak2"
        "ozA+4TYxfA3t7lICsQinSyUhh8gJ3omP1yTzlSZjc+x/7TElMCMGCSqGSIb3DQEJFTEWBBSJ/TUI5X2nn6C56G6Rhi6ISDiPdzBB"
        "MDEwDQYJYIZIAWUDBAIBBQAEIFbgzUiz82eCuiILnyU92e4Kl0WV1UAU9J1lm6s15HpkBAimkqAYSmt6CgICCAA=");
}

} // namespace ContractData
