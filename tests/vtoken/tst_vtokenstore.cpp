// SPDX-License-Identifier: BSD-3-Clause
// The virtual token store: file format checks, atomic writes under the lock, several processes, notices.
#include "TestEnv.h"
#include "VFileLock.h"
#include "VTimings.h"
#include "VToken.h"
#include "VTokenNotices.h"
#include "VTokenStore.h"
#include "platform/VirtualTokenNotices.h"

#include <QCborArray>
#include <QCborValue>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMessageAuthenticationCode>
#include <QProcess>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <memory>

namespace {
const QString Serial = QStringLiteral("QX41STORE0000001");

QString writerPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/vtoken_writer");
}
} // namespace

class TstVTokenStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    VTokenStore store() const { return VTokenStore(m_env->tokenStore()); }

    VToken sampleToken() const
    {
        VToken t = VToken::makeNew(Serial, "12345678", "87654321");
        t.label = QStringLiteral("标签").toUtf8();
        t.fingerSupport = true;
        t.cdromSectors = 16;
        VToken::Container c;
        c.name = "box one";
        c.exchange.certificate = QByteArray(700, 'c');
        c.exchange.publicKey = QByteArray(294, 'p');
        c.exchange.privateKey = QByteArray(1200, 'k');
        c.exchange.keyBits = 2048;
        c.signature.keyType = 3;
        t.containers << c;
        VToken::Fault f;
        f.kind = VToken::Fault::SlowCall;
        f.function = QStringLiteral("token_login");
        f.delayMs = 5;
        t.faults << f;
        QCborMap fingers;
        fingers[QLatin1String("enrolled")] = QCborArray{1, 3};
        t.extensions[QLatin1String("finger")] = fingers;
        return t;
    }

    QByteArray fileBytes() const
    {
        QFile f(store().tokenPath(Serial));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void writeFile(const QByteArray& bytes) const
    {
        QFile f(store().tokenPath(Serial));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

private Q_SLOTS:
    // Waits shrink with the factor, but a capture stays open long enough for a finger from another
    // process, and a factor that makes no sense leaves the production values.
    void timingScale_data()
    {
        QTest::addColumn<double>("factor");
        QTest::addColumn<int>("login");
        QTest::addColumn<int>("capture");
        QTest::newRow("production") << 1.0 << 8000 << 15000;
        QTest::newRow("tests") << 0.01 << 80 << 2000;
        QTest::newRow("zero") << 0.0 << 1 << 2000;
        QTest::newRow("negative") << -2.0 << 8000 << 15000;
        QTest::newRow("not a number") << std::nan("") << 8000 << 15000;
    }
    void timingScale()
    {
        QFETCH(double, factor);
        QFETCH(int, login);
        QFETCH(int, capture);
        const VTimings t = VTimings::scaled(factor);
        QCOMPARE(t.loginFingerWait, login);
        QCOMPARE(t.captureTimeout, capture);
        QVERIFY(t.capturePoll >= 1 && t.lockTimeout >= 500);
    }

    void init() { m_env = std::make_unique<TestEnv>(false); }
    void cleanup() { m_env.reset(); }

    void roundTrip()
    {
        VTokenStore s = store();
        QCOMPARE(s.create(sampleToken()), VTokenStore::Result::Ok);
        QCOMPARE(s.create(sampleToken()), VTokenStore::Result::Exists);
        VToken t;
        QCOMPARE(s.load(Serial, &t), VTokenStore::Result::Ok);
        const VToken want = sampleToken();
        QCOMPARE(t.label, want.label);
        QCOMPARE(t.containers.size(), 1);
        QCOMPARE(t.containers[0].name, want.containers[0].name);
        QCOMPARE(t.containers[0].exchange.privateKey, want.containers[0].exchange.privateKey);
        QCOMPARE(t.containers[0].signature.keyType, 3);
        QCOMPARE(t.faults.size(), 1);
        QCOMPARE(t.faults[0].function, QStringLiteral("token_login"));
        QCOMPARE(t.extensions, want.extensions); // kept for the fingerprint side, untouched
        QCOMPARE(t.generation, quint64(1));
        QVERIFY(VToken::checkPin(t.userPin, "12345678"));
        QVERIFY(!VToken::checkPin(t.userPin, "12345679"));
        QCOMPARE(t.freeMemory(), t.totalMemory - t.memoryUsed());
        QVERIFY(t.memoryUsed() > 700 + 294 + 1200);
        QCOMPARE(t.devicePath(), QStringLiteral("USB\\VID_3A51&PID_4100\\QX41STORE0000001"));
        QCOMPARE(s.update(Serial, [](VToken& x) { return x.label.isEmpty(); }),
                 VTokenStore::Result::Unchanged);
        QCOMPARE(s.update(Serial,
                          [](VToken& x) {
                              x.label = "new";
                              return true;
                          }),
                 VTokenStore::Result::Ok);
        QCOMPARE(s.load(Serial, &t), VTokenStore::Result::Ok);
        QCOMPARE(t.generation, quint64(2));
        QCOMPARE(s.serials(), QStringList{Serial});
    }

    void damagedFiles_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("reason");
        QTest::newRow("empty") << "empty" << int(VToken::DecodeResult::Truncated);
        QTest::newRow("cut in half") << "half" << int(VToken::DecodeResult::Truncated);
        QTest::newRow("cut before the checksum") << "nochecksum" << int(VToken::DecodeResult::Truncated);
        QTest::newRow("foreign file") << "foreign" << int(VToken::DecodeResult::NotAToken);
        QTest::newRow("future format") << "future" << int(VToken::DecodeResult::FutureVersion);
        QTest::newRow("one bit flipped") << "flip" << int(VToken::DecodeResult::BadChecksum);
        QTest::newRow("bytes appended") << "append" << int(VToken::DecodeResult::BadContent);
    }
    void damagedFiles()
    {
        QFETCH(QString, damage);
        QFETCH(int, reason);
        VTokenStore s = store();
        QCOMPARE(s.create(sampleToken()), VTokenStore::Result::Ok);
        QByteArray bytes = fileBytes();
        if (damage == QLatin1String("empty"))
            bytes.clear();
        else if (damage == QLatin1String("half"))
            bytes.truncate(bytes.size() / 2);
        else if (damage == QLatin1String("nochecksum"))
            bytes.chop(32);
        else if (damage == QLatin1String("foreign"))
            bytes = "<?xml version=\"1.0\"?><token/>";
        else if (damage == QLatin1String("future"))
            bytes[11] = char(VToken::FormatVersion + 1);
        else if (damage == QLatin1String("flip"))
            bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x01);
        else if (damage == QLatin1String("append"))
            bytes += "extra";
        writeFile(bytes);

        VToken t;
        VToken::DecodeResult why = VToken::DecodeResult::Ok;
        QCOMPARE(s.load(Serial, &t, &why), VTokenStore::Result::Failing);
        QCOMPARE(int(why), reason);
        bool called = false;
        QCOMPARE(s.update(Serial,
                          [&](VToken& x) {
                              called = true;
                              x.label = "guess";
                              return true;
                          }),
                 VTokenStore::Result::Failing);
        QVERIFY(!called);
        QCOMPARE(fileBytes(), bytes);               // never overwritten by a guess
        QCOMPARE(s.serials(), QStringList{Serial}); // still listed, as a failing token
    }

    // A token read before is not read again while its file stays as it was, but any change to the file
    // shows at once: replaced whole by another writer, or rewritten in place at the same size.
    void changesSeenThroughTheCache()
    {
        VTokenStore s = store();
        QCOMPARE(s.create(sampleToken()), VTokenStore::Result::Ok);
        QThread::msleep(80); // older than the clock-tick margin, so the next read is kept
        VToken t;
        QCOMPARE(s.load(Serial, &t), VTokenStore::Result::Ok);
        QCOMPARE(t.label, sampleToken().label);

        VTokenStore other(m_env->tokenStore());
        QCOMPARE(other.update(Serial,
                              [](VToken& x) {
                                  x.label = "AAAA";
                                  return true;
                              }),
                 VTokenStore::Result::Ok);
        QCOMPARE(s.load(Serial, &t), VTokenStore::Result::Ok);
        QCOMPARE(t.label, QByteArray("AAAA"));

        QThread::msleep(80);
        QCOMPARE(s.load(Serial, &t), VTokenStore::Result::Ok);
        t.label = "BBBB"; // same length, so the file keeps its size
        writeFile(t.encode());
        QCOMPARE(s.load(Serial, &t), VTokenStore::Result::Ok);
        QCOMPARE(t.label, QByteArray("BBBB"));
        QFile::remove(s.tokenPath(Serial));
        QCOMPARE(s.load(Serial, &t), VTokenStore::Result::Missing);
    }

    // A token file written before PINs kept their round count still opens with its PINs.
    void pinsOfOlderFiles()
    {
        const QByteArray encoded = sampleToken().encode();
        QCborMap root = QCborValue::fromCbor(encoded.mid(16, encoded.size() - 16 - 32)).toMap();
        QVERIFY(root.contains(QLatin1String("userPin")));
        // The PIN hash as older files hold it: 2000 rounds of HMAC-SHA256, one block, no count kept.
        const auto oldHash = [](const QByteArray& pin, const QByteArray& salt) {
            QMessageAuthenticationCode mac(QCryptographicHash::Sha256, pin);
            mac.addData(salt + QByteArray("\0\0\0\1", 4));
            QByteArray u = mac.result();
            QByteArray sum = u;
            for (int i = 1; i < 2000; ++i) {
                mac.reset();
                mac.addData(u);
                u = mac.result();
                for (int j = 0; j < sum.size(); ++j)
                    sum[j] = char(sum[j] ^ u[j]);
            }
            return sum;
        };
        for (const char* key : {"userPin", "soPin"}) {
            QCborMap pin = root.value(QLatin1String(key)).toMap();
            pin.remove(QLatin1String("iterations"));
            pin[QLatin1String("hash")] = oldHash(key == QByteArray("userPin") ? "12345678" : "87654321",
                                                 pin.value(QLatin1String("salt")).toByteArray());
            root[QLatin1String(key)] = pin;
        }
        const QByteArray payload = root.toCborValue().toCbor();
        QByteArray bytes = "QXVTOKEN";
        char word[4];
        qToBigEndian<quint32>(1, word);
        bytes.append(word, 4);
        qToBigEndian<quint32>(quint32(payload.size()), word);
        bytes.append(word, 4);
        bytes += payload;
        bytes += QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
        writeFile(bytes);

        VToken back;
        QCOMPARE(store().load(Serial, &back), VTokenStore::Result::Ok);
        QVERIFY(VToken::checkPin(back.userPin, "12345678"));
        QVERIFY(VToken::checkPin(back.soPin, "87654321"));
        QVERIFY(!VToken::checkPin(back.userPin, "12345679"));
        // A PIN set again gets today's round count.
        VToken::setPin(back.userPin, "24681357");
        QCOMPARE(back.userPin.iterations, VToken::PinIterations);
        QVERIFY(VToken::checkPin(back.userPin, "24681357"));
    }

    void fileOfAnotherToken()
    {
        VTokenStore s = store();
        QCOMPARE(s.create(sampleToken()), VTokenStore::Result::Ok);
        const QString other = QStringLiteral("QX41STORE0000002");
        QVERIFY(QFile::copy(s.tokenPath(Serial), s.tokenPath(other)));
        QCOMPARE(s.load(other, nullptr), VTokenStore::Result::Failing);
        VToken t;
        QCOMPARE(s.load(other, &t), VTokenStore::Result::Failing);
    }

    // Two processes add to the same counter at once: the lock serializes them and no change is lost.
    void twoProcessesAtOnce()
    {
        VTokenStore s = store();
        QCOMPARE(s.create(sampleToken()), VTokenStore::Result::Ok);
        constexpr int N = 40;
        QProcess a, b;
        const QStringList args = {QStringLiteral("count"), m_env->tokenStore(), Serial, QString::number(N)};
        a.start(writerPath(), args);
        b.start(writerPath(), args);
        QVERIFY(a.waitForFinished(120000));
        QVERIFY(b.waitForFinished(120000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        VToken t;
        QCOMPARE(s.load(Serial, &t), VTokenStore::Result::Ok);
        QCOMPARE(t.extensions.value(QLatin1String("counter")).toInteger(), 2 * N);
        QCOMPARE(t.generation, quint64(1 + 2 * N));
    }

    // Two processes changing one token in a loop take turns: neither is starved while the other runs.
    void loopingWritersTakeTurns()
    {
        VTokenStore s = store();
        QCOMPARE(s.create(sampleToken()), VTokenStore::Result::Ok);
        constexpr int N = 100;
        QProcess a, b;
        const auto args = [&](const char* id) {
            return QStringList{QStringLiteral("count"), m_env->tokenStore(), Serial, QString::number(N),
                               QLatin1String(id)};
        };
        a.start(writerPath(), args("a"));
        b.start(writerPath(), args("b"));
        QVERIFY(a.waitForFinished(120000));
        QVERIFY(b.waitForFinished(120000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        VToken t;
        QCOMPARE(s.load(Serial, &t), VTokenStore::Result::Ok);
        const QByteArray log = t.extensions.value(QLatin1String("log")).toByteArray();
        QCOMPARE(log.size(), 2 * N);
        // When the first of them is done, the other has had its share too (a starved one had next to
        // nothing).
        const char last = log.back();
        const QByteArray untilFirstDone = log.left(log.lastIndexOf(last == 'a' ? 'b' : 'a') + 1);
        QVERIFY2(untilFirstDone.count(last) >= N / 4, log.constData());
    }

    // A lock held by a process that dies is free at once, and whatever temporary file the dead writer
    // left is cleaned up by the next write.
    void killedHolderFreesTheLock()
    {
        VTokenStore s = store();
        QCOMPARE(s.create(sampleToken()), VTokenStore::Result::Ok);
        QProcess holder;
        holder.start(writerPath(), {QStringLiteral("hold"), m_env->tokenStore(), Serial});
        QVERIFY(holder.waitForReadyRead(60000));
        VFileLock probe(s.lockPath(Serial));
        QVERIFY(!probe.tryLock(0));
        s.setLockTimeout(0); // one try: the holder keeps it until it dies
        QCOMPARE(s.update(Serial, [](VToken&) { return true; }), VTokenStore::Result::Busy);

        const QString leftover = s.tokenPath(Serial) + QStringLiteral(".Ab3xYz");
        QFile junk(leftover);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(1000, 'x'));
        junk.close();
        ::kill(pid_t(holder.processId()), SIGKILL);
        QVERIFY(holder.waitForFinished(10000));
        QVERIFY(probe.tryLock(0)); // no waiting: the kernel let go of the dead holder's lock
        probe.unlock();
        QCOMPARE(s.update(Serial,
                          [](VToken& x) {
                              x.label = "after";
                              return true;
                          }),
                 VTokenStore::Result::Ok);
        QVERIFY(!QFile::exists(leftover));
    }

    // A writer killed at any moment leaves the old or the new token, never a mix, and the lock it held
    // does not block the next writer.
    void writerKilledMidWrite_data()
    {
        QTest::addColumn<int>("delayMs");
        for (int d : {0, 7, 23, 61, 140})
            QTest::addRow("killed after %d ms", d) << d;
    }
    void writerKilledMidWrite()
    {
        QFETCH(int, delayMs);
        VTokenStore s = store();
        QCOMPARE(s.create(sampleToken()), VTokenStore::Result::Ok);
        QProcess w;
        w.start(writerPath(), {QStringLiteral("churn"), m_env->tokenStore(), Serial});
        QVERIFY(w.waitForReadyRead(60000)); // the first round is written
        QThread::msleep(ulong(delayMs));
        ::kill(pid_t(w.processId()), SIGKILL);
        QVERIFY(w.waitForFinished(10000));

        VToken t;
        QCOMPARE(s.load(Serial, &t), VTokenStore::Result::Ok);
        const qint64 round = t.extensions.value(QLatin1String("round")).toInteger();
        QVERIFY(round >= 1);
        const QByteArray payload = t.extensions.value(QLatin1String("payload")).toByteArray();
        QCOMPARE(payload, QByteArray(512 * 1024, char('A' + round % 26)));
        QCOMPARE(t.generation, quint64(1 + round));
        QCOMPARE(s.update(Serial,
                          [](VToken& x) {
                              x.label = "after";
                              return true;
                          }),
                 VTokenStore::Result::Ok);
    }

    // The store writes notices, the tool reads them: both sides of the notice file agree.
    // Everything the store writes is its owner's alone: the files hold private keys.
    void filesOwnerOnly()
    {
        const QString folder = m_env->path(QStringLiteral("fresh/tokens"));
        VTokenStore fresh(folder);
        QCOMPARE(fresh.create(sampleToken()), VTokenStore::Result::Ok);
        QCOMPARE(fresh.update(Serial, [](VToken& t) { return !t.label.isEmpty(); }), VTokenStore::Result::Ok);
        VTokenNotices::post(folder, VTokenNotices::Kind::Arrived, QStringLiteral("X"));
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFileInfo(folder).permissions() & others, QFile::Permissions());
        const QStringList files = QDir(folder).entryList(QDir::Files);
        QVERIFY(files.size() >= 3); // token, its lock, notices
        for (const QString& name : files)
            QVERIFY2((QFileInfo(folder + QLatin1Char('/') + name).permissions() & others) == 0,
                     qPrintable(name));
        // A file someone opened up is closed again by the next listing.
        QVERIFY(QFile::setPermissions(fresh.tokenPath(Serial), QFile::ReadOwner | QFile::ReadOther));
        QCOMPARE(fresh.serials(), QStringList{Serial});
        QCOMPARE(QFileInfo(fresh.tokenPath(Serial)).permissions() & others, QFile::Permissions());
    }

    void notices()
    {
        VirtualTokenNotices watcher(m_env->tokenStore(), 10);
        QSignalSpy arrived(&watcher, &VirtualTokenNotices::arrived);
        QSignalSpy removed(&watcher, &VirtualTokenNotices::removed);
        const QString path = sampleToken().devicePath();
        VTokenNotices::post(m_env->tokenStore(), VTokenNotices::Kind::Arrived, path);
        VTokenNotices::post(m_env->tokenStore(), VTokenNotices::Kind::Removed, path);
        QTRY_COMPARE(arrived.size(), 1);
        QTRY_COMPARE(removed.size(), 1);
        QCOMPARE(arrived.first().first().toString(), path);
        QCOMPARE(removed.first().first().toString(), path);
        // A notice from before the watcher started is not replayed to a new watcher.
        VirtualTokenNotices late(m_env->tokenStore(), 10);
        QSignalSpy lateArrived(&late, &VirtualTokenNotices::arrived);
        VTokenNotices::post(m_env->tokenStore(), VTokenNotices::Kind::Arrived, QStringLiteral("X"));
        QTRY_COMPARE(lateArrived.size(), 1);
        QCOMPARE(lateArrived.first().first().toString(), QStringLiteral("X"));
    }

    void noticesFileCutBack()
    {
        VirtualTokenNotices watcher(m_env->tokenStore(), 10);
        QSignalSpy arrived(&watcher, &VirtualTokenNotices::arrived);
        // A notices file grown past its limit, as after a long session.
        {
            QFile f(VTokenNotices::noticesPath(m_env->tokenStore()));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Append));
            const QByteArray line = "arrived USB\\VID_3A51&PID_4100\\" + QByteArray(100, 'S') + '\n';
            while (f.size() <= VTokenNotices::TrimSize)
                f.write(line);
        }
        QTRY_VERIFY(arrived.size() > 1000);
        // The next notice cuts the file back; the watcher, far past its new end, starts again at 0.
        arrived.clear();
        VTokenNotices::post(m_env->tokenStore(), VTokenNotices::Kind::Arrived, QStringLiteral("after cut"));
        QTRY_COMPARE(arrived.size(), 1);
        QCOMPARE(arrived.first().first().toString(), QStringLiteral("after cut"));
        QVERIFY(QFileInfo(VTokenNotices::noticesPath(m_env->tokenStore())).size() < 100);
    }
};

QTEST_GUILESS_MAIN(TstVTokenStore)
#include "tst_vtokenstore.moc"
