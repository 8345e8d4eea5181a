// SPDX-License-Identifier: BSD-3-Clause
// The fingerprint sensor commands of tokenctl: place a finger, place one nobody enrolled, run the
// sensor by itself for demonstrations, and show or set a token's fingerprints.
#include "TokenCtlRegistry.h"

#include "VFingerprints.h"
#include "VSensor.h"
#include "VToken.h"

#include <QMap>

namespace {

using Ctx = TokenCtlContext;

const QString Usage = QStringLiteral(
    "<serial> place <1-10> | unknown | auto on|off | clear | show | enroll user|admin <1-10> | "
    "delete user|admin <1-10>|all");

bool fingerNumber(Ctx& c, const QString& text, int* n)
{
    bool ok = false;
    *n = text.toInt(&ok);
    if (!ok || *n < 1 || *n > VFingerprints::MaxFinger) {
        c.err << "tokenctl: a finger number is 1 to " << VFingerprints::MaxFinger << "\n";
        return false;
    }
    return true;
}

bool pinType(Ctx& c, const QString& text, int* type)
{
    if (text == QLatin1String("admin") || text == QLatin1String("user")) {
        *type = text == QLatin1String("admin") ? 0 : 1;
        return true;
    }
    c.err << "tokenctl: say \"user\" or \"admin\"\n";
    return false;
}

// Loads the token and checks it has a sensor; 0 when it does.
int sensorToken(Ctx& c, const QString& serial, VToken* t)
{
    if (c.store.load(serial, t) != VTokenStore::Result::Ok) {
        c.err << "tokenctl: no readable token \"" << serial << "\"\n";
        return 1;
    }
    if (!t->fingerSupport) {
        c.err << "tokenctl: token " << serial << " has no fingerprint sensor\n";
        return 1;
    }
    return 0;
}

int show(Ctx& c, const QString& serial, const VToken& t, const VSensor& sensor)
{
    const VFingerprints f = VFingerprints::read(t);
    c.out << "token " << serial << "  sensor: " << (sensor.automatic() ? "automatic" : "manual") << "\n";
    for (int type : {1, 0}) {
        const VFingerprints::Owner& o = f.owner(type);
        QStringList fingers;
        for (auto it = o.fingers.cbegin(); it != o.fingers.cend(); ++it)
            fingers << QString::number(it.key());
        c.out << (type == 1 ? "  user:  " : "  admin: ") << "fingers [" << fingers.join(QLatin1Char(' '))
              << "]  retries " << o.retriesLeft << "/" << o.maxRetries << "  level " << o.level << "\n";
    }
    return 0;
}

// Enrolls finger n directly, as if finger n had been placed three times.
int changeFingers(Ctx& c, const QString& serial, const QStringList& a)
{
    int type = 0;
    int n = 0;
    const bool all = a.value(0) == QLatin1String("delete") && a.value(2) == QLatin1String("all");
    if (a.size() != 3 || !pinType(c, a[1], &type) || (!all && !fingerNumber(c, a[2], &n)))
        return 2;
    const bool enroll = a[0] == QLatin1String("enroll");
    const VTokenStore::Result r = c.store.update(serial, [&](VToken& t) {
        VFingerprints f = VFingerprints::read(t);
        QMap<int, int>& fingers = f.owner(type).fingers;
        if (enroll)
            fingers.insert(n, n);
        else if (all)
            fingers.clear();
        else
            fingers.remove(n);
        f.write(t);
        return true;
    });
    if (r != VTokenStore::Result::Ok) {
        c.err << "tokenctl: the token could not be written\n";
        return 1;
    }
    return 0;
}

int cmdFinger(Ctx& c)
{
    const QStringList& a = c.args;
    const QString serial = a[0];
    // How many words each action takes after its name; more are refused before the token is read.
    static const QMap<QString, int> arity = {
        {QStringLiteral("place"), 1},  {QStringLiteral("unknown"), 0}, {QStringLiteral("auto"), 1},
        {QStringLiteral("clear"), 0},  {QStringLiteral("show"), 0},    {QStringLiteral("enroll"), 2},
        {QStringLiteral("delete"), 2},
    };
    if (!arity.contains(a[1])) {
        c.err << "tokenctl: unknown finger action \"" << a[1] << "\"; usage: tokenctl finger " << Usage
              << "\n";
        return 2;
    }
    if (a.size() - 2 > arity.value(a[1])) {
        c.err << "tokenctl: unexpected argument \"" << a[2 + arity.value(a[1])] << "\"\n";
        return 2;
    }
    VToken t;
    if (const int r = sensorToken(c, serial, &t))
        return r;
    VSensor sensor(c.store.folder(), serial);
    const QString what = a[1];
    const QStringList rest = a.mid(2);
    bool ok = false;
    if (what == QLatin1String("place") && rest.size() == 1) {
        int n = 0;
        if (!fingerNumber(c, rest[0], &n))
            return 2;
        ok = sensor.place(n);
    } else if (what == QLatin1String("unknown") && rest.isEmpty()) {
        ok = sensor.place(VSensor::UnknownFinger);
    } else if (what == QLatin1String("auto") && rest.size() == 1 &&
               (rest[0] == QLatin1String("on") || rest[0] == QLatin1String("off"))) {
        ok = sensor.setAutomatic(rest[0] == QLatin1String("on"));
    } else if (what == QLatin1String("clear") && rest.isEmpty()) {
        ok = sensor.clear();
    } else if (what == QLatin1String("show") && rest.isEmpty()) {
        return show(c, serial, t, sensor);
    } else if (what == QLatin1String("enroll") || what == QLatin1String("delete")) {
        return changeFingers(c, serial, a.mid(1));
    } else {
        c.err << "usage: tokenctl finger " << Usage << "\n";
        return 2;
    }
    if (!ok) {
        c.err << "tokenctl: the sensor of " << serial << " could not be written\n";
        return 1;
    }
    return 0;
}

const TokenCtlRegistry::Registration reg(
    {QStringLiteral("finger"),
     Usage,
     QStringLiteral("drives a token's fingerprint sensor: place finger n (one touch each), place a finger "
                    "nobody enrolled, automatic mode (a touch every half second, the first enrolled finger "
                    "matches), or show and set the enrolled fingers directly"),
     {},
     2,
     -1,
     cmdFinger});

} // namespace
