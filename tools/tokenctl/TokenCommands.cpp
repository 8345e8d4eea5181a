// SPDX-License-Identifier: BSD-3-Clause
// The token commands of tokenctl: create, list, show, set, plug, pull, delete, faults, unlock response.
#include "TokenCtlRegistry.h"

#include "CertInfo.h"
#include "LibraryFunctions.h"
#include "TokenMgr.h"
#include "VToken.h"
#include "VTokenNotices.h"

#include <QMap>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>

namespace {

using Ctx = TokenCtlContext;

QString randomSerial()
{
    QString s = QStringLiteral("QX41");
    for (int i = 0; i < 12; ++i)
        s += QString::number(QRandomGenerator::global()->bounded(16), 16).toUpper();
    return s;
}

using Option = TokenCtlRegistry::Option;

const QList<Option> PropertyOptions = {
    {QStringLiteral("label"), QStringLiteral("text"),
     QStringLiteral("The label: UTF-8, at most %1 bytes (default QX4100).").arg(TM_LABEL_FIELD_SIZE)},
    {QStringLiteral("manufacturer"), QStringLiteral("text"),
     QStringLiteral("The manufacturer, at most 64 bytes.")},
    {QStringLiteral("model"), QStringLiteral("text"), QStringLiteral("The model, at most 64 bytes.")},
    {QStringLiteral("vid"), QStringLiteral("id"), QStringLiteral("The USB vendor ID, e.g. 0x3A51.")},
    {QStringLiteral("pid"), QStringLiteral("id"), QStringLiteral("The USB product ID, e.g. 0x4100.")},
    {QStringLiteral("user-pin"), QStringLiteral("pin"), QStringLiteral("The user PIN (default 12345678).")},
    {QStringLiteral("so-pin"), QStringLiteral("pin"), QStringLiteral("The SO PIN (default 87654321).")},
    {QStringLiteral("pin-min"), QStringLiteral("n"), QStringLiteral("The user PIN's minimum length, 1-32.")},
    {QStringLiteral("pin-max"), QStringLiteral("n"), QStringLiteral("The user PIN's maximum length, 1-32.")},
    {QStringLiteral("so-pin-min"), QStringLiteral("n"), QStringLiteral("The SO PIN's minimum length, 1-32.")},
    {QStringLiteral("so-pin-max"), QStringLiteral("n"), QStringLiteral("The SO PIN's maximum length, 1-32.")},
    {QStringLiteral("tries"), QStringLiteral("n"),
     QStringLiteral("The user PIN's tries, 1-255; a change gives them all back.")},
    {QStringLiteral("so-tries"), QStringLiteral("n"),
     QStringLiteral("The SO PIN's tries, 1-255; a change gives them all back.")},
    {QStringLiteral("memory"), QStringLiteral("bytes"), QStringLiteral("The total memory.")},
    {QStringLiteral("free"), QStringLiteral("bytes"),
     QStringLiteral("The free memory, at most what the total leaves after the token's objects.")},
    {QStringLiteral("hw"), QStringLiteral("version"), QStringLiteral("The hardware version, e.g. 0x0102.")},
    {QStringLiteral("fw"), QStringLiteral("version"), QStringLiteral("The firmware version, e.g. 0x010A.")},
    {QStringLiteral("cdrom-sectors"), QStringLiteral("n"),
     QStringLiteral("The CD-ROM partition's size in 2048-byte sectors.")},
    {QStringLiteral("not-initialized"), QString(), QStringLiteral("Marks the token not initialized.")},
    {QStringLiteral("initialized"), QString(), QStringLiteral("Marks the token initialized.")},
    {QStringLiteral("finger"), QString(), QStringLiteral("Gives the token a fingerprint sensor.")},
    {QStringLiteral("no-finger"), QString(), QStringLiteral("Takes the fingerprint sensor away.")},
    {QStringLiteral("unplugged"), QString(), QStringLiteral("Pulls the token out.")},
};

bool number(Ctx& c, const QMap<QString, QString>& o, const QString& key, qint64 lo, qint64 hi, qint64* v)
{
    if (!o.contains(key))
        return true;
    bool ok = false;
    const qint64 n = o.value(key).toLongLong(&ok, 0);
    if (!ok || n < lo || n > hi) {
        c.err << "tokenctl: --" << key << " must be a number from " << lo << " to " << hi << "\n";
        return false;
    }
    *v = n;
    return true;
}

// Applies the property options to a token; false on a bad value (the token is then not written).
bool applyProperties(Ctx& c, const QMap<QString, QString>& o, VToken& t)
{
    if (o.contains(QStringLiteral("label"))) {
        // As the library's token_set_label takes it: UTF-8 (main() refuses arguments that are not)
        // that fits the label field.
        const QByteArray label = o.value(QStringLiteral("label")).toUtf8();
        if (label.size() > TM_LABEL_FIELD_SIZE) {
            c.err << "tokenctl: the label takes at most " << TM_LABEL_FIELD_SIZE << " bytes in UTF-8\n";
            return false;
        }
        t.label = label;
    }
    for (const auto& [key, field] : {std::pair{QStringLiteral("manufacturer"), &t.manufacturer},
                                     std::pair{QStringLiteral("model"), &t.model}}) {
        if (!o.contains(key))
            continue;
        const QByteArray v = o.value(key).toLocal8Bit();
        if (v.size() > 64) {
            c.err << "tokenctl: --" << key << " takes at most 64 bytes\n";
            return false;
        }
        *field = v;
    }
    qint64 vid = t.vendorId, pid = t.productId, pinMin = t.userPin.minLength, pinMax = t.userPin.maxLength;
    qint64 soMin = t.soPin.minLength, soMax = t.soPin.maxLength, tries = t.userPin.maxTries,
           soTries = t.soPin.maxTries;
    qint64 memory = t.totalMemory, hw = t.hardwareVersion, fw = t.firmwareVersion, sectors = t.cdromSectors;
    qint64 freeBytes = -1;
    if (!number(c, o, QStringLiteral("vid"), 0, 0xFFFF, &vid) ||
        !number(c, o, QStringLiteral("pid"), 0, 0xFFFF, &pid) ||
        !number(c, o, QStringLiteral("pin-min"), 1, 32, &pinMin) ||
        !number(c, o, QStringLiteral("pin-max"), 1, 32, &pinMax) ||
        !number(c, o, QStringLiteral("so-pin-min"), 1, 32, &soMin) ||
        !number(c, o, QStringLiteral("so-pin-max"), 1, 32, &soMax) ||
        !number(c, o, QStringLiteral("tries"), 1, 255, &tries) ||
        !number(c, o, QStringLiteral("so-tries"), 1, 255, &soTries) ||
        !number(c, o, QStringLiteral("memory"), 0, 0x7FFFFFFF, &memory) ||
        !number(c, o, QStringLiteral("free"), 0, 0x7FFFFFFF, &freeBytes) ||
        !number(c, o, QStringLiteral("hw"), 0, 0xFFFF, &hw) ||
        !number(c, o, QStringLiteral("fw"), 0, 0xFFFF, &fw) ||
        !number(c, o, QStringLiteral("cdrom-sectors"), 0, 1 << 20, &sectors))
        return false;
    if (pinMin > pinMax || soMin > soMax) {
        c.err << "tokenctl: a PIN's minimum length is above its maximum\n";
        return false;
    }
    t.vendorId = quint16(vid);
    t.productId = quint16(pid);
    t.userPin.minLength = int(pinMin);
    t.userPin.maxLength = int(pinMax);
    t.soPin.minLength = int(soMin);
    t.soPin.maxLength = int(soMax);
    if (tries != t.userPin.maxTries) {
        t.userPin.maxTries = int(tries);
        t.userPin.triesLeft = int(tries);
    }
    if (soTries != t.soPin.maxTries) {
        t.soPin.maxTries = int(soTries);
        t.soPin.triesLeft = int(soTries);
    }
    t.totalMemory = memory;
    t.hardwareVersion = int(hw);
    t.firmwareVersion = int(fw);
    t.cdromSectors = sectors;
    for (const auto& [key, pin] :
         {std::pair{QStringLiteral("user-pin"), &t.userPin}, std::pair{QStringLiteral("so-pin"), &t.soPin}}) {
        if (!o.contains(key))
            continue;
        QByteArray v = o.value(key).toLocal8Bit();
        if (v.size() < pin->minLength || v.size() > pin->maxLength) {
            c.err << "tokenctl: --" << key << " must be " << pin->minLength << " to " << pin->maxLength
                  << " bytes long\n";
            return false;
        }
        VToken::setPin(*pin, v);
        v.fill('\0');
    }
    if (o.contains(QStringLiteral("not-initialized")))
        t.initialized = false;
    if (o.contains(QStringLiteral("initialized")))
        t.initialized = true;
    if (o.contains(QStringLiteral("finger")))
        t.fingerSupport = true;
    if (o.contains(QStringLiteral("no-finger")))
        t.fingerSupport = false;
    if (o.contains(QStringLiteral("unplugged")))
        t.pluggedIn = false;
    if (freeBytes >= 0) {
        // The objects on the token take their share whatever is asked, so more free memory than the
        // total leaves beside them cannot be shown: refuse it rather than show less.
        t.reservedMemory = 0;
        const qint64 most = qMax<qint64>(0, t.totalMemory - t.memoryUsed());
        if (freeBytes > most) {
            c.err << "tokenctl: --free is at most " << most << " bytes: the token has " << t.totalMemory
                  << " bytes of memory";
            if (most != t.totalMemory)
                c.err << ", " << t.totalMemory - most << " of them used by its objects";
            c.err << "\n";
            return false;
        }
        t.reservedMemory = most - freeBytes;
    }
    return true;
}

// A token's own text on one line: a line break or another control character in a label, a
// manufacturer or a name is shown escaped, so it cannot forge a line for a script reading the output.
QString escaped(const QString& text)
{
    QString out;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == u'\\')
            out += QLatin1String("\\\\");
        else if (u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029)
            out += u < 0x100 ? QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'))
                             : QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        else
            out += ch;
    }
    return out;
}

QString storeError(VTokenStore::Result r)
{
    switch (r) {
    case VTokenStore::Result::Missing:
        return QStringLiteral("no such token");
    case VTokenStore::Result::Failing:
        return QStringLiteral("the token file is damaged; it is left as it is");
    case VTokenStore::Result::Busy:
        return QStringLiteral("the token is locked by another process");
    case VTokenStore::Result::WriteFailed:
        return QStringLiteral("the token file could not be written");
    case VTokenStore::Result::Exists:
        return QStringLiteral("a token with that serial exists");
    default:
        return {};
    }
}

int report(Ctx& c, VTokenStore::Result r)
{
    if (r == VTokenStore::Result::Ok || r == VTokenStore::Result::Unchanged)
        return 0;
    c.err << "tokenctl: " << storeError(r) << "\n";
    return 1;
}

QString hex(int v)
{
    return QStringLiteral("0x%1")
        .arg(v, 4, 16, QLatin1Char('0'))
        .toUpper()
        .replace(QLatin1String("0X"), QLatin1String("0x"));
}

QString decodeReason(VToken::DecodeResult why)
{
    switch (why) {
    case VToken::DecodeResult::Truncated:
        return QStringLiteral("truncated");
    case VToken::DecodeResult::NotAToken:
        return QStringLiteral("not a token file");
    case VToken::DecodeResult::FutureVersion:
        return QStringLiteral("newer format");
    case VToken::DecodeResult::BadChecksum:
        return QStringLiteral("checksum mismatch");
    case VToken::DecodeResult::BadContent:
        return QStringLiteral("bad content");
    default:
        return {};
    }
}

int cmdCreate(Ctx& c)
{
    const QMap<QString, QString>& o = c.options;
    const QString serial = o.value(QStringLiteral("serial"), randomSerial());
    if (!VToken::validSerial(serial)) {
        c.err << "tokenctl: a serial is 16 to 32 letters, digits, '-' or '_'\n";
        return 2;
    }
    VToken t = VToken::makeNew(serial, QByteArray("12345678"), QByteArray("87654321"));
    if (!applyProperties(c, o, t))
        return 2;
    const VTokenStore::Result r = c.store.create(t);
    if (r != VTokenStore::Result::Ok)
        return report(c, r);
    if (t.pluggedIn)
        VTokenNotices::post(c.store.folder(), VTokenNotices::Kind::Arrived, t.devicePath());
    c.out << serial << "\n";
    return 0;
}

int cmdSet(Ctx& c)
{
    const QString serial = c.args.first();
    const QMap<QString, QString>& o = c.options;
    bool bad = false;
    bool wasPlugged = false;
    VToken after;
    const VTokenStore::Result r = c.store.update(
        serial,
        [&](VToken& t) {
            wasPlugged = t.pluggedIn;
            bad = !applyProperties(c, o, t);
            return !bad;
        },
        &after);
    if (bad)
        return 2;
    if (r == VTokenStore::Result::Ok && wasPlugged && !after.pluggedIn)
        VTokenNotices::post(c.store.folder(), VTokenNotices::Kind::Removed, after.devicePath());
    return report(c, r);
}

int cmdSetFree(Ctx& c)
{
    c.options = {{QStringLiteral("free"), c.args.takeLast()}};
    return cmdSet(c);
}

int cmdPlug(Ctx& c, bool plug)
{
    const QString serial = c.args.first();
    bool changed = false;
    VToken after;
    const VTokenStore::Result r = c.store.update(
        serial,
        [&](VToken& t) {
            changed = t.pluggedIn != plug;
            t.pluggedIn = plug;
            return changed;
        },
        &after);
    if (r == VTokenStore::Result::Ok && changed)
        VTokenNotices::post(c.store.folder(),
                            plug ? VTokenNotices::Kind::Arrived : VTokenNotices::Kind::Removed,
                            after.devicePath());
    return report(c, r);
}

int cmdDelete(Ctx& c)
{
    const QString serial = c.args.first();
    VToken t;
    const bool known = c.store.load(serial, &t) == VTokenStore::Result::Ok;
    const VTokenStore::Result r = c.store.remove(serial);
    if (r == VTokenStore::Result::Ok && known && t.pluggedIn)
        VTokenNotices::post(c.store.folder(), VTokenNotices::Kind::Removed, t.devicePath());
    return report(c, r);
}

int cmdList(Ctx& c)
{
    const QStringList serials = c.store.serials();
    if (serials.isEmpty()) {
        c.out << "no virtual tokens in " << c.store.folder() << "\n";
        return 0;
    }
    for (const QString& s : serials) {
        VToken t;
        VToken::DecodeResult why = VToken::DecodeResult::Ok;
        if (c.store.load(s, &t, &why) != VTokenStore::Result::Ok) {
            c.out << s << "  FAILING (" << decodeReason(why) << ")\n";
            continue;
        }
        c.out << s << "  " << (t.pluggedIn ? "plugged" : "pulled ") << "  " << t.devicePath() << "  "
              << escaped(QString::fromUtf8(t.label)) << (t.initialized ? "" : "  [not initialized]")
              << (t.fingerSupport ? "  [fingerprint]" : "") << "\n";
    }
    return 0;
}

void showHalf(Ctx& c, const char* name, const VToken::KeyHalf& h)
{
    if (h.certificate.isEmpty() && !h.hasKey())
        return;
    c.out << "    " << name << ": " << (h.keyType == 3 ? "EC" : "RSA") << " " << h.keyBits << " bits"
          << (h.privateKey.isEmpty() ? "" : ", private key") << (h.hasKey() ? ", public key" : "");
    CertInfo info;
    if (!h.certificate.isEmpty() && CertInfo::fromDer(h.certificate, &info))
        c.out << "\n      certificate: " << escaped(info.subject) << " (kind " << info.kind << ", "
              << h.certificate.size() << " bytes)";
    c.out << "\n";
}

int cmdShow(Ctx& c)
{
    const QString serial = c.args.first();
    VToken t;
    VToken::DecodeResult why = VToken::DecodeResult::Ok;
    const VTokenStore::Result r = c.store.load(serial, &t, &why);
    if (r == VTokenStore::Result::Failing) {
        c.out << serial << ": FAILING (" << decodeReason(why) << ")\n";
        return 1;
    }
    if (r != VTokenStore::Result::Ok)
        return report(c, r);
    c.out << "serial:        " << t.serial << "\n"
          << "device path:   " << t.devicePath() << "\n"
          << "plugged in:    " << (t.pluggedIn ? "yes" : "no") << "\n"
          << "label:         " << escaped(QString::fromUtf8(t.label)) << "\n"
          << "manufacturer:  " << escaped(QString::fromLocal8Bit(t.manufacturer)) << "\n"
          << "model:         " << escaped(QString::fromLocal8Bit(t.model)) << "\n"
          << "initialized:   " << (t.initialized ? "yes" : "no") << "\n"
          << "fingerprint:   " << (t.fingerSupport ? "yes" : "no") << "\n"
          << "user PIN:      length " << t.userPin.minLength << "-" << t.userPin.maxLength << ", tries "
          << t.userPin.triesLeft << "/" << t.userPin.maxTries << (t.userPin.locked() ? ", LOCKED" : "")
          << "\n"
          << "SO PIN:        length " << t.soPin.minLength << "-" << t.soPin.maxLength << ", tries "
          << t.soPin.triesLeft << "/" << t.soPin.maxTries << (t.soPin.locked() ? ", LOCKED" : "") << "\n"
          << "memory:        " << t.freeMemory() << " free of " << t.totalMemory << " bytes\n"
          << "versions:      hardware " << hex(t.hardwareVersion) << ", firmware " << hex(t.firmwareVersion)
          << "\n"
          << "CD-ROM:        " << t.cdromSectors << " sectors of " << VToken::SectorSize << " bytes\n"
          << "challenge:     "
          << (t.challenge.isEmpty() ? QStringLiteral("none")
                                    : QString::fromLatin1(t.challenge.toHex().toUpper()))
          << "\n"
          << "generation:    " << t.generation << "\n";
    for (const VToken::Fault& f : t.faults)
        c.out << "fault:         kind " << int(f.kind) << " on " << f.function << ", status "
              << hex(int(f.status)) << ", writes left " << f.writesLeft << ", delay " << f.delayMs << " ms\n";
    c.out << "containers:    " << t.containers.size() << "\n";
    for (const VToken::Container& ct : t.containers) {
        c.out << "  " << escaped(QString::fromLocal8Bit(ct.name)) << "\n";
        showHalf(c, "exchange", ct.exchange);
        showHalf(c, "signature", ct.signature);
    }
    return 0;
}

QStringList libraryFunctions()
{
    QStringList names;
    for (const char* f : LibraryFunctions::Names)
        names << QLatin1String(f);
    return names;
}

// Edits that turn one name into the other, to point at the name a typo meant.
qsizetype distance(const QString& a, const QString& b)
{
    QList<qsizetype> row(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// Faults name the library's functions as its export list does; a typo would never fire.
bool knownFunction(Ctx& c, const QString& name)
{
    const QStringList names = libraryFunctions();
    if (name == QLatin1String("*") || names.contains(name))
        return true;
    c.err << "tokenctl: \"" << name << "\" is not a function of the token manager library";
    const auto nearest =
        std::min_element(names.cbegin(), names.cend(), [&](const QString& a, const QString& b) {
            return distance(name, a) < distance(name, b);
        });
    if (nearest != names.cend() && distance(name, *nearest) <= 3)
        c.err << "; did you mean \"" << *nearest << "\"?";
    c.err << " (\"tokenctl fault --help\" lists them)\n";
    return false;
}

bool faultNumber(Ctx& c, const QString& text, const char* what, qint64 hi, qint64* v)
{
    bool ok = false;
    *v = text.toLongLong(&ok, 0);
    if (!ok || *v < 0 || *v > hi) {
        c.err << "tokenctl: " << what << " must be a number from 0 to "
              << (hi == 0xFFFFFFFF ? QStringLiteral("0xFFFFFFFF") : QString::number(hi)) << ", not \"" << text
              << "\"\n";
        return false;
    }
    return true;
}

const QString FaultUsage =
    QStringLiteral("<serial> fail-next <function> <status> | fail-after-writes <n> [status] | "
                   "pull-next [function] | slow <function> <ms> | clear");

int cmdFault(Ctx& c)
{
    const QString serial = c.args.takeFirst();
    const QString kind = c.args.takeFirst();
    struct Arity
    {
        int min;
        int max;
    };
    static const QMap<QString, Arity> arity = {
        {QStringLiteral("clear"), {0, 0}},
        {QStringLiteral("fail-next"), {2, 2}},
        {QStringLiteral("fail-after-writes"), {1, 2}},
        {QStringLiteral("pull-next"), {0, 1}},
        {QStringLiteral("slow"), {2, 2}},
    };
    if (!arity.contains(kind)) {
        c.err << "tokenctl: unknown fault \"" << kind << "\"; tokenctl fault " << FaultUsage << "\n";
        return 2;
    }
    const Arity n = arity.value(kind);
    if (c.args.size() < n.min) {
        c.err << "tokenctl: tokenctl fault " << FaultUsage << "\n";
        return 2;
    }
    if (c.args.size() > n.max) {
        c.err << "tokenctl: unexpected argument \"" << c.args[n.max] << "\"\n";
        return 2;
    }
    VToken::Fault f;
    const bool clear = kind == QLatin1String("clear");
    qint64 a = 0;
    if (kind == QLatin1String("fail-next")) {
        f.kind = VToken::Fault::FailNextCall;
        f.function = c.args[0];
        if (!faultNumber(c, c.args[1], "the status", 0xFFFFFFFF, &a))
            return 2;
        f.status = quint32(a);
    } else if (kind == QLatin1String("fail-after-writes")) {
        f.kind = VToken::Fault::FailAfterWrites;
        f.function = QStringLiteral("*");
        if (!faultNumber(c, c.args[0], "the number of writes", 0x7FFFFFFF, &a))
            return 2;
        f.writesLeft = int(a);
        if (c.args.size() == 2 && !faultNumber(c, c.args[1], "the status", 0xFFFFFFFF, &a))
            return 2;
        f.status = c.args.size() == 2 ? quint32(a) : 0;
    } else if (kind == QLatin1String("pull-next")) {
        f.kind = VToken::Fault::PullOutNextCall;
        f.function = c.args.value(0, QStringLiteral("*"));
    } else if (kind == QLatin1String("slow")) {
        f.kind = VToken::Fault::SlowCall;
        f.function = c.args[0];
        if (!faultNumber(c, c.args[1], "the delay", 60000, &a))
            return 2;
        f.delayMs = int(a);
    }
    if (!clear && !knownFunction(c, f.function))
        return 2;
    return report(c, c.store.update(serial, [&](VToken& t) {
        if (clear)
            t.faults.clear();
        else
            t.faults.append(f);
        return true;
    }));
}

int cmdUnlockResponse(Ctx& c)
{
    const QString serial = c.args.first();
    const QString challengeText = c.args.last();
    // fromHex skips what is not a digit, so a typo would quietly shift every nibble: check them all.
    static const QRegularExpression hexDigits(
        QStringLiteral("^[0-9A-Fa-f]{%1}$").arg(2 * VToken::ChallengeBytes));
    const QByteArray challenge = QByteArray::fromHex(challengeText.toLatin1());
    if (!hexDigits.match(challengeText).hasMatch() || challenge.size() != VToken::ChallengeBytes) {
        c.err << "tokenctl: the challenge is 16 hexadecimal digits\n";
        return 2;
    }
    QByteArray response;
    const VTokenStore::Result r = c.store.unlockResponse(serial, challenge, &response);
    if (r != VTokenStore::Result::Ok)
        return report(c, r);
    c.out << response.toHex().toUpper() << "\n";
    return 0;
}

QList<Option> createOptions()
{
    QList<Option> list{{QStringLiteral("serial"), QStringLiteral("serial"),
                        QStringLiteral("The serial: 16 to 32 letters, digits, '-' or '_' (default: a random "
                                       "QX41 serial).")}};
    return list + PropertyOptions;
}

const TokenCtlRegistry::Registration regs[] = {
    TokenCtlRegistry::Registration({QStringLiteral("create"), QString(),
                                    QStringLiteral("creates a token (PINs 12345678 / 87654321 unless given) "
                                                   "and prints its serial"),
                                    createOptions(), 0, 0, cmdCreate}),
    TokenCtlRegistry::Registration({QStringLiteral("set"), QStringLiteral("<serial>"),
                                    QStringLiteral("changes a token's properties"), PropertyOptions, 1, 1,
                                    cmdSet}),
    TokenCtlRegistry::Registration({QStringLiteral("set-free"),
                                    QStringLiteral("<serial> <bytes>"),
                                    QStringLiteral("makes the token report that much free memory"),
                                    {},
                                    2,
                                    2,
                                    cmdSetFree}),
    TokenCtlRegistry::Registration(
        {QStringLiteral("list"), QString(), QStringLiteral("lists every token"), {}, 0, 0, cmdList}),
    TokenCtlRegistry::Registration({QStringLiteral("show"),
                                    QStringLiteral("<serial>"),
                                    QStringLiteral("shows everything about a token"),
                                    {},
                                    1,
                                    1,
                                    cmdShow}),
    TokenCtlRegistry::Registration({QStringLiteral("plug"),
                                    QStringLiteral("<serial>"),
                                    QStringLiteral("plugs a token in"),
                                    {},
                                    1,
                                    1,
                                    [](Ctx& c) { return cmdPlug(c, true); }}),
    TokenCtlRegistry::Registration({QStringLiteral("pull"),
                                    QStringLiteral("<serial>"),
                                    QStringLiteral("pulls a token out"),
                                    {},
                                    1,
                                    1,
                                    [](Ctx& c) { return cmdPlug(c, false); }}),
    TokenCtlRegistry::Registration({QStringLiteral("delete"),
                                    QStringLiteral("<serial>"),
                                    QStringLiteral("deletes a token"),
                                    {},
                                    1,
                                    1,
                                    cmdDelete}),
    TokenCtlRegistry::Registration(
        {QStringLiteral("fault"),
         FaultUsage,
         QStringLiteral("sets or clears a fault for tests (function names as the library exports them, * for "
                        "any)"),
         {},
         2,
         -1,
         cmdFault,
         QStringLiteral("Statuses and counts are decimal or 0x hexadecimal. The functions a fault can "
                        "name:\n  ") +
             libraryFunctions().join(QLatin1String("\n  "))}),
    TokenCtlRegistry::Registration({QStringLiteral("unlock-response"),
                                    QStringLiteral("<serial> <challenge>"),
                                    QStringLiteral("computes the remote-unlock response for a challenge"),
                                    {},
                                    2,
                                    2,
                                    cmdUnlockResponse}),
};

} // namespace
