// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QCborMap>
#include <QList>
#include <QString>

// One virtual token: everything the device holds, as kept in its file in the store.
class VToken
{
public:
    static constexpr quint32 FormatVersion = 1;
    static constexpr int SectorSize = 2048;
    static constexpr int MinSerialLength = 16;
    static constexpr int MaxSerialLength = 32;
    static constexpr int ChallengeBytes = 8;
    static constexpr int ResponseBytes = 8;
    // What a container and each stored object cost in token memory beyond their own bytes.
    static constexpr qint64 ContainerOverhead = 64;
    static constexpr qint64 ObjectOverhead = 16;
    // No token file is larger; a larger one is not read past this.
    static constexpr qint64 MaxFileSize = 64 * 1024 * 1024;
    // PBKDF2 rounds for a PIN set from now on; a PIN keeps the count it was set with.
    static constexpr int PinIterations = 12000;

    // A PIN, kept as a salted hash only.
    struct Pin
    {
        QByteArray salt;
        QByteArray hash;
        int iterations = 2000; // what tokens made before the count was kept used
        int minLength = 4;
        int maxLength = 16;
        int maxTries = 10;
        int triesLeft = 10;
        bool locked() const { return triesLeft <= 0; }
    };

    // The exchange or the signature half of a key container.
    struct KeyHalf
    {
        QByteArray certificate; // DER
        QByteArray publicKey;   // DER SubjectPublicKeyInfo
        QByteArray privateKey;  // DER PKCS#8
        int keyType = 0;        // 0 RSA, 3 EC
        int keyBits = 0;
        bool hasKey() const { return !publicKey.isEmpty(); }
        qint64 memoryUsed() const;
    };

    struct Container
    {
        QByteArray name; // narrow, as the caller gave it
        KeyHalf exchange;
        KeyHalf signature;
        KeyHalf* half(int keySpec);
        const KeyHalf* half(int keySpec) const;
        qint64 memoryUsed() const;
    };

    // A fault for tests, consumed or kept as its kind says.
    struct Fault
    {
        enum Kind
        {
            FailNextCall,
            FailAfterWrites,
            PullOutNextCall,
            SlowCall
        };
        Kind kind = FailNextCall;
        QString function; // a library function name, or "*" for any
        quint32 status = 0;
        int writesLeft = 0; // FailAfterWrites: writes that still succeed
        int delayMs = 0;    // SlowCall
        bool matches(const QString& fn) const { return function == QLatin1String("*") || function == fn; }
    };

    enum class DecodeResult
    {
        Ok,
        Truncated,
        NotAToken,
        FutureVersion,
        BadChecksum,
        BadContent
    };

    QString serial;
    QByteArray label; // UTF-8
    QByteArray manufacturer;
    QByteArray model;
    QByteArray issuer;
    quint16 vendorId = 0x3A51;
    quint16 productId = 0x4100;
    Pin userPin;
    Pin soPin;
    qint64 totalMemory = 128 * 1024;
    qint64 reservedMemory = 0; // memory taken by things the token does not list (set free memory)
    int hardwareVersion = 0x0102;
    int firmwareVersion = 0x010A;
    bool initialized = true;
    bool fingerSupport = false;
    bool pluggedIn = true;
    QList<Container> containers;
    qint64 cdromSectors = 0;
    QByteArray challenge; // the last challenge issued, empty when none is open
    QByteArray unlockKey;
    QList<Fault> faults;
    QCborMap extensions; // kept for other parts of the device (fingerprint data); round-trips untouched
    quint64 generation = 0;

    // A fresh token with random salts and unlock key and the given PINs.
    static VToken makeNew(const QString& serial, const QByteArray& userPin, const QByteArray& soPin);
    static bool validSerial(const QString& serial);

    qint64 memoryUsed() const;
    qint64 freeMemory() const;
    Container* findContainer(const QByteArray& name);
    const Container* findContainer(const QByteArray& name) const;

    static void setPin(Pin& pin, const QByteArray& value);
    static bool checkPin(const Pin& pin, const QByteArray& value);

    QString devicePath() const;
    // The remote-unlock response for a challenge: a keyed MAC under the token's unlock key.
    static QByteArray unlockResponse(const QByteArray& unlockKey, const QByteArray& challenge);

    QByteArray encode() const;
    static DecodeResult decode(const QByteArray& bytes, VToken* out);
};
