// SPDX-License-Identifier: BSD-3-Clause
#include "VFingerprints.h"

#include "VToken.h"

#include <QCborArray>
#include <QCborMap>
#include <algorithm>

namespace {
const QLatin1String Key("fingerprints");

QCborMap ownerToCbor(const VFingerprints::Owner& o)
{
    QCborMap fingers;
    for (auto it = o.fingers.cbegin(); it != o.fingers.cend(); ++it)
        fingers[it.key()] = it.value();
    QCborMap m;
    m[QLatin1String("maxRetries")] = o.maxRetries;
    m[QLatin1String("retriesLeft")] = o.retriesLeft;
    m[QLatin1String("level")] = o.level;
    m[QLatin1String("fingers")] = fingers;
    return m;
}

VFingerprints::Owner ownerFromCbor(const QCborMap& m)
{
    VFingerprints::Owner o;
    if (m.isEmpty())
        return o;
    const auto bounded = [&](const char* key, qint64 lo, qint64 hi) {
        return int(std::clamp(m.value(QLatin1String(key)).toInteger(), lo, hi));
    };
    o.maxRetries = bounded("maxRetries", 1, VFingerprints::MaxRetries);
    o.retriesLeft = bounded("retriesLeft", 0, o.maxRetries);
    o.level = bounded("level", 1, VFingerprints::MaxLevel);
    const QCborMap fingers = m.value(QLatin1String("fingers")).toMap();
    for (auto it = fingers.cbegin(); it != fingers.cend(); ++it) {
        const qint64 number = it.key().toInteger();
        if (number >= 1 && number <= VFingerprints::MaxFinger)
            o.fingers.insert(int(number), int(it.value().toInteger()));
    }
    return o;
}
} // namespace

int VFingerprints::Owner::numberOf(int placed) const
{
    for (auto it = fingers.cbegin(); it != fingers.cend(); ++it) {
        if (it.value() == placed)
            return it.key();
    }
    return 0;
}

VFingerprints VFingerprints::read(const VToken& token)
{
    const QCborMap m = token.extensions.value(Key).toMap();
    VFingerprints f;
    f.admin = ownerFromCbor(m.value(0).toMap());
    f.user = ownerFromCbor(m.value(1).toMap());
    return f;
}

void VFingerprints::write(VToken& token) const
{
    QCborMap m;
    m[0] = ownerToCbor(admin);
    m[1] = ownerToCbor(user);
    token.extensions[Key] = m;
}

int VFingerprints::verify(int pinType, int placed)
{
    Owner& o = owner(pinType);
    if (o.blocked())
        return 0;
    const int number = o.numberOf(placed);
    if (number != 0)
        o.retriesLeft = o.maxRetries;
    else
        --o.retriesLeft;
    return number;
}
