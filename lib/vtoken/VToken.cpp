// SPDX-License-Identifier: BSD-3-Clause
#include "VToken.h"

#include <QCborArray>
#include <QCborValue>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtEndian>

#include <openssl/evp.h>
#include <openssl/sha.h>

namespace {

const QByteArray Magic("QXVTOKEN");
constexpr int HeaderSize = 16; // magic, version, payload length
constexpr int ChecksumSize = 32;
// Old files kept no count; more than this is not a PIN hash this code wrote.
constexpr int MaxPinIterations = 1000000;

QByteArray randomBytes(int n)
{
    QByteArray out(n, Qt::Uninitialized);
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(out.data()),
                                         reinterpret_cast<quint32*>(out.data()) + n / 4);
    return out;
}

// PBKDF2-HMAC-SHA256, one block: slow enough that a copied token file does not give the PIN away cheaply.
QByteArray pbkdf2(const QByteArray& password, const QByteArray& salt, int iterations)
{
    QByteArray out(32, Qt::Uninitialized);
    if (iterations < 1 || iterations > MaxPinIterations ||
        PKCS5_PBKDF2_HMAC(password.constData(), int(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.constData()), int(salt.size()),
                          iterations, EVP_sha256(), int(out.size()),
                          reinterpret_cast<unsigned char*>(out.data())) != 1)
        return {};
    return out;
}

QCborMap pinToCbor(const VToken::Pin& p)
{
    QCborMap m;
    m[QLatin1String("salt")] = p.salt;
    m[QLatin1String("hash")] = p.hash;
    m[QLatin1String("iterations")] = p.iterations;
    m[QLatin1String("min")] = p.minLength;
    m[QLatin1String("max")] = p.maxLength;
    m[QLatin1String("maxTries")] = p.maxTries;
    m[QLatin1String("triesLeft")] = p.triesLeft;
    return m;
}

VToken::Pin pinFromCbor(const QCborMap& m)
{
    VToken::Pin p;
    p.salt = m.value(QLatin1String("salt")).toByteArray();
    p.hash = m.value(QLatin1String("hash")).toByteArray();
    p.iterations = int(m.value(QLatin1String("iterations")).toInteger(2000));
    p.minLength = int(m.value(QLatin1String("min")).toInteger());
    p.maxLength = int(m.value(QLatin1String("max")).toInteger());
    p.maxTries = int(m.value(QLatin1String("maxTries")).toInteger());
    p.triesLeft = int(m.value(QLatin1String("triesLeft")).toInteger());
    return p;
}

QCborMap halfToCbor(const VToken::KeyHalf& h)
{
    QCborMap m;
    m[QLatin1String("cert")] = h.certificate;
    m[QLatin1String("pub")] = h.publicKey;
    m[QLatin1String("priv")] = h.privateKey;
    m[QLatin1String("type")] = h.keyType;
    m[QLatin1String("bits")] = h.keyBits;
    return m;
}

VToken::KeyHalf halfFromCbor(const QCborMap& m)
{
    VToken::KeyHalf h;
    h.certificate = m.value(QLatin1String("cert")).toByteArray();
    h.publicKey = m.value(QLatin1String("pub")).toByteArray();
    h.privateKey = m.value(QLatin1String("priv")).toByteArray();
    h.keyType = int(m.value(QLatin1String("type")).toInteger());
    h.keyBits = int(m.value(QLatin1String("bits")).toInteger());
    return h;
}

QByteArray checksum(const char* data, qsizetype size)
{
    QByteArray out(SHA256_DIGEST_LENGTH, Qt::Uninitialized);
    SHA256(reinterpret_cast<const unsigned char*>(data), size_t(size),
           reinterpret_cast<unsigned char*>(out.data()));
    return out;
}

} // namespace

qint64 VToken::KeyHalf::memoryUsed() const
{
    qint64 n = 0;
    for (const QByteArray* b : {&certificate, &publicKey, &privateKey})
        if (!b->isEmpty())
            n += b->size() + ObjectOverhead;
    return n;
}

VToken::KeyHalf* VToken::Container::half(int keySpec)
{
    return keySpec == 1 ? &exchange : keySpec == 2 ? &signature : nullptr;
}

const VToken::KeyHalf* VToken::Container::half(int keySpec) const
{
    return keySpec == 1 ? &exchange : keySpec == 2 ? &signature : nullptr;
}

qint64 VToken::Container::memoryUsed() const
{
    return ContainerOverhead + name.size() + exchange.memoryUsed() + signature.memoryUsed();
}

VToken VToken::makeNew(const QString& serial, const QByteArray& userPin, const QByteArray& soPin)
{
    VToken t;
    t.serial = serial;
    t.label = QByteArray("QX4100");
    t.manufacturer = QByteArray("Vostrel");
    t.model = QByteArray("QX4100");
    t.unlockKey = randomBytes(32);
    setPin(t.userPin, userPin);
    setPin(t.soPin, soPin);
    return t;
}

bool VToken::validSerial(const QString& serial)
{
    static const QRegularExpression re(
        QStringLiteral("^[A-Za-z0-9_-]{%1,%2}$").arg(MinSerialLength).arg(MaxSerialLength));
    return re.match(serial).hasMatch();
}

qint64 VToken::memoryUsed() const
{
    qint64 n = reservedMemory;
    for (const Container& c : containers)
        n += c.memoryUsed();
    return n;
}

qint64 VToken::freeMemory() const
{
    return qMax<qint64>(0, totalMemory - memoryUsed());
}

VToken::Container* VToken::findContainer(const QByteArray& name)
{
    for (Container& c : containers)
        if (c.name == name)
            return &c;
    return nullptr;
}

const VToken::Container* VToken::findContainer(const QByteArray& name) const
{
    // Not through the other one: a non-const walk would copy a list shared with the token cache.
    for (const Container& c : containers)
        if (c.name == name)
            return &c;
    return nullptr;
}

void VToken::setPin(Pin& pin, const QByteArray& value)
{
    pin.salt = randomBytes(16);
    pin.iterations = PinIterations;
    pin.hash = pbkdf2(value, pin.salt, pin.iterations);
    pin.triesLeft = pin.maxTries;
}

bool VToken::checkPin(const Pin& pin, const QByteArray& value)
{
    const QByteArray h = pbkdf2(value, pin.salt, pin.iterations);
    if (h.isEmpty() || h.size() != pin.hash.size())
        return false;
    unsigned char diff = 0; // no early exit: the time does not tell how much of the PIN was right
    for (int i = 0; i < h.size(); ++i)
        diff |= static_cast<unsigned char>(h[i] ^ pin.hash[i]);
    return diff == 0;
}

QString VToken::devicePath() const
{
    return QStringLiteral("USB\\VID_%1&PID_%2\\%3")
        .arg(vendorId, 4, 16, QLatin1Char('0'))
        .arg(productId, 4, 16, QLatin1Char('0'))
        .arg(serial)
        .toUpper();
}

QByteArray VToken::unlockResponse(const QByteArray& unlockKey, const QByteArray& challenge)
{
    return QMessageAuthenticationCode::hash(challenge, unlockKey, QCryptographicHash::Sha256)
        .left(ResponseBytes);
}

QByteArray VToken::encode() const
{
    QCborMap m;
    m[QLatin1String("serial")] = serial;
    m[QLatin1String("label")] = label;
    m[QLatin1String("manufacturer")] = manufacturer;
    m[QLatin1String("model")] = model;
    m[QLatin1String("issuer")] = issuer;
    m[QLatin1String("vid")] = vendorId;
    m[QLatin1String("pid")] = productId;
    m[QLatin1String("userPin")] = pinToCbor(userPin);
    m[QLatin1String("soPin")] = pinToCbor(soPin);
    m[QLatin1String("totalMemory")] = totalMemory;
    m[QLatin1String("reservedMemory")] = reservedMemory;
    m[QLatin1String("hw")] = hardwareVersion;
    m[QLatin1String("fw")] = firmwareVersion;
    m[QLatin1String("initialized")] = initialized;
    m[QLatin1String("finger")] = fingerSupport;
    m[QLatin1String("plugged")] = pluggedIn;
    QCborArray cs;
    for (const Container& c : containers) {
        QCborMap cm;
        cm[QLatin1String("name")] = c.name;
        cm[QLatin1String("exchange")] = halfToCbor(c.exchange);
        cm[QLatin1String("signature")] = halfToCbor(c.signature);
        cs.append(cm);
    }
    m[QLatin1String("containers")] = cs;
    m[QLatin1String("cdromSectors")] = cdromSectors;
    m[QLatin1String("challenge")] = challenge;
    m[QLatin1String("unlockKey")] = unlockKey;
    QCborArray fs;
    for (const Fault& f : faults) {
        QCborMap fm;
        fm[QLatin1String("kind")] = int(f.kind);
        fm[QLatin1String("function")] = f.function;
        fm[QLatin1String("status")] = qint64(f.status);
        fm[QLatin1String("writesLeft")] = f.writesLeft;
        fm[QLatin1String("delayMs")] = f.delayMs;
        fs.append(fm);
    }
    m[QLatin1String("faults")] = fs;
    m[QLatin1String("extensions")] = extensions;
    m[QLatin1String("generation")] = qint64(generation);

    const QByteArray payload = m.toCborValue().toCbor();
    QByteArray out = Magic;
    char word[4];
    qToBigEndian<quint32>(FormatVersion, word);
    out.append(word, 4);
    qToBigEndian<quint32>(quint32(payload.size()), word);
    out.append(word, 4);
    out.append(payload);
    out.append(checksum(out.constData(), out.size()));
    return out;
}

VToken::DecodeResult VToken::decode(const QByteArray& bytes, VToken* out)
{
    if (bytes.size() < Magic.size())
        return bytes.isEmpty() || Magic.startsWith(bytes) ? DecodeResult::Truncated : DecodeResult::NotAToken;
    if (!bytes.startsWith(Magic))
        return DecodeResult::NotAToken;
    if (bytes.size() < HeaderSize + ChecksumSize)
        return DecodeResult::Truncated;
    const quint32 version = qFromBigEndian<quint32>(bytes.constData() + 8);
    if (version > FormatVersion)
        return DecodeResult::FutureVersion;
    if (version == 0)
        return DecodeResult::NotAToken;
    const quint32 length = qFromBigEndian<quint32>(bytes.constData() + 12);
    if (qint64(bytes.size()) < qint64(HeaderSize) + length + ChecksumSize)
        return DecodeResult::Truncated;
    if (qint64(bytes.size()) != qint64(HeaderSize) + length + ChecksumSize)
        return DecodeResult::BadContent;
    const qsizetype signedPart = HeaderSize + length;
    if (checksum(bytes.constData(), signedPart) != bytes.mid(signedPart, ChecksumSize))
        return DecodeResult::BadChecksum;

    QCborParserError err;
    const QCborValue root = QCborValue::fromCbor(bytes.mid(HeaderSize, length), &err);
    if (err.error != QCborError::NoError || !root.isMap())
        return DecodeResult::BadContent;
    const QCborMap m = root.toMap();
    VToken t;
    t.serial = m.value(QLatin1String("serial")).toString();
    if (!validSerial(t.serial))
        return DecodeResult::BadContent;
    t.label = m.value(QLatin1String("label")).toByteArray();
    t.manufacturer = m.value(QLatin1String("manufacturer")).toByteArray();
    t.model = m.value(QLatin1String("model")).toByteArray();
    t.issuer = m.value(QLatin1String("issuer")).toByteArray();
    t.vendorId = quint16(m.value(QLatin1String("vid")).toInteger());
    t.productId = quint16(m.value(QLatin1String("pid")).toInteger());
    t.userPin = pinFromCbor(m.value(QLatin1String("userPin")).toMap());
    t.soPin = pinFromCbor(m.value(QLatin1String("soPin")).toMap());
    t.totalMemory = m.value(QLatin1String("totalMemory")).toInteger();
    t.reservedMemory = m.value(QLatin1String("reservedMemory")).toInteger();
    t.hardwareVersion = int(m.value(QLatin1String("hw")).toInteger());
    t.firmwareVersion = int(m.value(QLatin1String("fw")).toInteger());
    t.initialized = m.value(QLatin1String("initialized")).toBool();
    t.fingerSupport = m.value(QLatin1String("finger")).toBool();
    t.pluggedIn = m.value(QLatin1String("plugged")).toBool();
    for (const QCborValue& v : m.value(QLatin1String("containers")).toArray()) {
        const QCborMap cm = v.toMap();
        Container c;
        c.name = cm.value(QLatin1String("name")).toByteArray();
        c.exchange = halfFromCbor(cm.value(QLatin1String("exchange")).toMap());
        c.signature = halfFromCbor(cm.value(QLatin1String("signature")).toMap());
        t.containers.append(c);
    }
    t.cdromSectors = m.value(QLatin1String("cdromSectors")).toInteger();
    t.challenge = m.value(QLatin1String("challenge")).toByteArray();
    t.unlockKey = m.value(QLatin1String("unlockKey")).toByteArray();
    for (const QCborValue& v : m.value(QLatin1String("faults")).toArray()) {
        const QCborMap fm = v.toMap();
        Fault f;
        f.kind = Fault::Kind(fm.value(QLatin1String("kind")).toInteger());
        f.function = fm.value(QLatin1String("function")).toString();
        f.status = quint32(fm.value(QLatin1String("status")).toInteger());
        f.writesLeft = int(fm.value(QLatin1String("writesLeft")).toInteger());
        f.delayMs = int(fm.value(QLatin1String("delayMs")).toInteger());
        t.faults.append(f);
    }
    t.extensions = m.value(QLatin1String("extensions")).toMap();
    t.generation = quint64(m.value(QLatin1String("generation")).toInteger());
    if (t.userPin.hash.isEmpty() || t.soPin.hash.isEmpty() || t.totalMemory < 0 || t.cdromSectors < 0)
        return DecodeResult::BadContent;
    if (out)
        *out = std::move(t);
    return DecodeResult::Ok;
}
