// SPDX-License-Identifier: BSD-3-Clause
// The token manager's C contract, the same cases on every backend: the module comes from
// QX_TOKENMGR_MODULE and the tokens from the bench that goes with it. What only the virtual device can
// do is marked: on a PKCS#11 module such a case checks PKCS#11's own answer or is skipped.
#include "ContractData.h"
#include "LibraryCalls.h"
#include "TokenBench.h"
#include "TokenMgr.h"
#include "VToken.h"
#include "VirtualTokenBench.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

using namespace ContractData;

// Skips the case unless the tokens are virtual; `why` names what a PKCS#11 token cannot be made to do.
#define QX_VIRTUAL_ONLY(why)                                                                                 \
    do {                                                                                                     \
        if (!m_bench->virtualDevice())                                                                       \
            QSKIP(qPrintable(QStringLiteral("virtual device only: ") + (why)));                              \
    } while (false)

struct TokenText
{
    char serial[TM_SERIAL_SIZE + 8], label[TM_LABEL_SIZE + 8], manufacturer[TM_MANUFACTURER_SIZE + 8],
        model[TM_MODEL_SIZE + 8];
    int32_t v[10];
};

class TstTokenMgrContract : public QObject
{
    Q_OBJECT

    std::unique_ptr<TokenBench> m_bench;

    TokenBench& bench() { return *m_bench; }
    bool onDevice() { return m_bench->virtualDevice() != nullptr; }

    bool addToken(int i, const TokenBench::Token& t = {}) { return bench().addToken(i, t); }

    static int connectAll() { return LibraryCalls::connectAll(); }
    static tm_status info(int slot, TokenText* t)
    {
        return token_get_info_ex(slot, t->serial, t->label, t->manufacturer, t->model, &t->v[0], &t->v[1],
                                 &t->v[2], &t->v[3], &t->v[4], &t->v[5], &t->v[6], &t->v[7], &t->v[8],
                                 &t->v[9]);
    }
    // The connected slot of the initialized token labelled `label`; -1 when there is none.
    static int slotOf(const QByteArray& label)
    {
        for (int s = 0; s < TM_MAX_SLOTS; ++s) {
            TokenText t;
            if (info(s, &t) == TM_OK && t.v[8] == 1 && label == t.label)
                return s;
        }
        return -1;
    }
    static int slotOf(int token) { return slotOf(TokenBench::label(token)); }
    static int uninitializedSlot()
    {
        for (int s = 0; s < TM_MAX_SLOTS; ++s) {
            TokenText t;
            if (info(s, &t) == TM_OK && t.v[8] == 0)
                return s;
        }
        return -1;
    }
    static tm_status userLogin(int slot, const QByteArray& pin = UserPin)
    {
        int32_t retries = -1;
        return token_login(slot, pin.constData(), &retries);
    }
    static QList<QByteArray> containers(int slot)
    {
        QList<QByteArray> names = LibraryCalls::containerNames(slot);
        std::sort(names.begin(), names.end());
        return names;
    }
    static QByteArray certificate(int slot, const char* name, int keySpec)
    {
        QByteArray buf(16384, 0);
        int32_t len = int32_t(buf.size());
        if (container_get_cert(slot, name, keySpec, reinterpret_cast<unsigned char*>(buf.data()), &len) !=
            TM_OK)
            return {};
        return buf.left(len);
    }
    static QList<int> pinState(int slot, int type)
    {
        int32_t st[6] = {};
        if (token_get_pin_state(slot, type, &st[0], &st[1], &st[2], &st[3], &st[4], &st[5]) != TM_OK)
            return {};
        return QList<int>(std::begin(st), std::end(st));
    }
    // The signature key pair of ContractData::keyedCert() in a container: both halves, the public one
    // with its value.
    static void verifyKeyPair(int slot, const char* name)
    {
        int32_t type = -1, bits = -1;
        QCOMPARE(container_get_prikey(slot, name, TM_KEYSPEC_SIGNATURE, &type, &bits), TM_OK);
        QCOMPARE(type, TM_KEYTYPE_EC);
        QCOMPARE(bits, 256);
        unsigned char blob[256];
        int32_t length = sizeof(blob);
        type = bits = -1;
        QCOMPARE(container_get_pubkey(slot, name, TM_KEYSPEC_SIGNATURE, &type, &bits, blob, &length), TM_OK);
        QCOMPARE(type, TM_KEYTYPE_EC);
        QCOMPARE(bits, 256);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(blob), length), keyedPublicKey().right(65));
    }
    // Tries as the backend tells them: exactly, or only whether the PIN is locked.
    int tries(int n) { return bench().exactTries() || n == 0 ? n : TM_RETRIES_UNKNOWN; }
    // The library stopped and started again on the same tokens, which are found and connected anew.
    static int restart()
    {
        uninit_pkcs11();
        return init_pkcs11(TokenBench::moduleName().constData()) == TM_OK ? connectAll() : -1;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_bench = TokenBench::fromEnvironment();
        if (const QString why = m_bench->unavailable(); !why.isEmpty())
            QSKIP(qPrintable(why));
        qInfo("tokens: %s", qPrintable(m_bench->name()));
    }
    void init() { QVERIFY(m_bench->start()); }
    void cleanup() { m_bench->stop(); }

    void callsBeforeInit()
    {
        QVERIFY(addToken(1));
        uninit_pkcs11();
        int32_t count = TM_MAX_SLOTS;
        uint32_t ids[TM_MAX_SLOTS];
        QCOMPARE(token_find(ids, &count), TM_ERR_NOT_READY);
        QCOMPARE(count, 0);
        QCOMPARE(token_connect(0), TM_ERR_NOT_READY);
        QCOMPARE(token_logout(0), TM_ERR_NOT_READY);
    }

    void findAndConnect_data()
    {
        QTest::addColumn<int>("tokens");
        QTest::addColumn<int>("unplugged");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<uint>("status");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("virtualOnly");
        QTest::newRow("none") << 0 << 0 << 32 << TM_OK << 0 << QString();
        QTest::newRow("three") << 3 << 0 << 32 << TM_OK << 3 << QString();
        QTest::newRow("one of three pulled out") << 3 << 1 << 32 << TM_OK << 2 << "tokens pulled out";
        QTest::newRow("table too small") << 3 << 0 << 2 << TM_ERR_BUFFER_TOO_SMALL << 3 << QString();
    }
    void findAndConnect()
    {
        QFETCH(int, tokens);
        QFETCH(int, unplugged);
        QFETCH(int, capacity);
        QFETCH(uint, status);
        QFETCH(int, count);
        QFETCH(QString, virtualOnly);
        if (!virtualOnly.isEmpty())
            QX_VIRTUAL_ONLY(virtualOnly);
        for (int i = 0; i < tokens; ++i) {
            TokenBench::Token t;
            t.virtualTweak = [&](VToken& v) { v.pluggedIn = i >= unplugged; };
            QVERIFY(addToken(i, t));
        }
        uint32_t ids[TM_MAX_SLOTS + 1];
        std::fill(std::begin(ids), std::end(ids), 0xDEADBEEFu);
        int32_t n = capacity;
        QCOMPARE(token_find(ids, &n), tm_status(status));
        QCOMPARE(n, bench().slots(count, 0));
        QCOMPARE(ids[capacity], 0xDEADBEEFu); // nothing past the table
        if (status != TM_OK)
            return;
        QList<QByteArray> labels, expected;
        for (int i = 0; i < n; ++i) {
            QCOMPARE(token_connect(i), TM_OK);
            TokenText t;
            QCOMPARE(info(i, &t), TM_OK);
            if (t.v[8] == 1)
                labels << t.label;
        }
        for (int i = unplugged; i < tokens; ++i)
            expected << TokenBench::label(i);
        std::sort(labels.begin(), labels.end());
        QCOMPARE(labels, expected);
        QCOMPARE(token_connect(n), TM_ERR_SLOT);
        QCOMPARE(token_connect(-1), TM_ERR_SLOT);
    }

    void tokenInfo()
    {
        TokenBench::Token setup;
        setup.label = QStringLiteral("我的令牌 token").toUtf8();
        QVERIFY(addToken(7, setup));
        QCOMPARE(connectAll(), bench().slots(1, 0));
        const int slot = slotOf(setup.label);
        QVERIFY(slot >= 0);
        // Each text buffer gets exactly the capacity the contract gives it, followed by a guard area.
        TokenText t;
        std::memset(&t, 0x5A, sizeof(t));
        QCOMPARE(info(slot, &t), TM_OK);
        if (!bench().serial(7).isEmpty())
            QCOMPARE(QByteArray(t.serial), bench().serial(7));
        QVERIFY(std::strlen(t.serial) > 0);
        QCOMPARE(QString::fromUtf8(t.label), QStringLiteral("我的令牌 token"));
        QCOMPARE(QByteArray(t.manufacturer), bench().manufacturer());
        QVERIFY(std::strlen(t.model) > 0);
        const QList<int> user = pinState(slot, TM_PIN_USER), so = pinState(slot, TM_PIN_SO);
        QCOMPARE(t.v[0], user.value(3));
        QCOMPARE(t.v[1], user.value(2));
        QCOMPARE(t.v[2], so.value(3));
        QCOMPARE(t.v[3], so.value(2));
        QVERIFY(t.v[1] >= 1 && t.v[1] <= t.v[0]);
        QVERIFY(t.v[3] >= 1 && t.v[3] <= t.v[2]);
        // Free memory within the total, or both untold (most PKCS#11 modules).
        QVERIFY((t.v[5] >= 0 && t.v[5] <= t.v[4]) ||
                (t.v[4] == TM_MEMORY_UNKNOWN && t.v[5] == TM_MEMORY_UNKNOWN));
        QCOMPARE(t.v[8], 1);
        QCOMPARE(t.v[9], 0); // no fingerprint sensor
        // The device does everything; PKCS#11 has no call for label, remote unlock, sectors or tries.
        uint32_t features = 0x5A5A5A5Au;
        QCOMPARE(token_get_features(slot, &features), TM_OK);
        QCOMPARE(features, bench().exactTries() ? (TM_FEATURE_SET_LABEL | TM_FEATURE_REMOTE_UNLOCK |
                                                   TM_FEATURE_SECTORS | TM_FEATURE_EXACT_RETRIES)
                                                : 0u);
        QCOMPARE(token_get_features(slot, nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(token_get_features(TM_MAX_SLOTS, &features), TM_ERR_SLOT);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(t.serial[TM_SERIAL_SIZE + i], char(0x5A));
            QCOMPARE(t.label[TM_LABEL_SIZE + i], char(0x5A));
            QCOMPARE(t.manufacturer[TM_MANUFACTURER_SIZE + i], char(0x5A));
            QCOMPARE(t.model[TM_MODEL_SIZE + i], char(0x5A));
        }
    }

    void deviceProperties()
    {
        QX_VIRTUAL_ONLY("versions, memory, sensor and PIN lengths are the PKCS#11 module's own");
        TokenBench::Token setup;
        setup.virtualTweak = [](VToken& t) {
            t.hardwareVersion = 0x0102;
            t.firmwareVersion = 0x010A;
            t.totalMemory = 65536;
            t.fingerSupport = true;
            t.userPin.minLength = 6;
            t.userPin.maxLength = 12;
            t.soPin.minLength = 8;
            t.soPin.maxLength = 16;
        };
        QVERIFY(addToken(7, setup));
        QCOMPARE(connectAll(), 1);
        TokenText t;
        QCOMPARE(info(0, &t), TM_OK);
        QCOMPARE(t.v[0], 12);
        QCOMPARE(t.v[1], 6);
        QCOMPARE(t.v[2], 16);
        QCOMPARE(t.v[3], 8);
        QCOMPARE(t.v[4], 65536);
        QVERIFY(t.v[5] > 0 && t.v[5] <= 65536);
        QCOMPARE(t.v[6], 0x0102);
        QCOMPARE(t.v[7], 0x010A);
        QCOMPARE(t.v[9], 1);
    }

    void login_data()
    {
        QTest::addColumn<QByteArray>("pin");
        QTest::addColumn<int>("triesBefore");
        QTest::addColumn<bool>("sensor");
        QTest::addColumn<bool>("initialized");
        QTest::addColumn<uint>("status");
        QTest::addColumn<int>("retries");
        QTest::addColumn<int>("triesAfter");
        QTest::addColumn<QString>("virtualOnly");
        const QString setTries = QStringLiteral("tries left cannot be set on a PKCS#11 token");
        QTest::newRow("right PIN") << UserPin << 10 << false << true << TM_OK << 10 << 10 << QString();
        QTest::newRow("right PIN resets tries")
            << UserPin << 3 << false << true << TM_OK << 10 << 10 << setTries;
        QTest::newRow("wrong PIN costs a try")
            << QByteArray("00000000") << 10 << false << true << TM_ERR_PIN_INCORRECT << 9 << 9 << QString();
        QTest::newRow("last try locks")
            << QByteArray("00000000") << 1 << false << true << TM_ERR_PIN_LOCKED << 0 << 0 << setTries;
        QTest::newRow("locked refuses the right PIN")
            << UserPin << 0 << false << true << TM_ERR_PIN_LOCKED << 0 << 0 << setTries;
        QTest::newRow("too short, no try lost")
            << QByteArray("123") << 10 << false << true << TM_ERR_PIN_LEN_RANGE << 10 << 10 << QString();
        // Longer than the library reads: the tries are the token's, not 0 (which reads as locked).
        QTest::newRow("257 bytes, no try lost")
            << QByteArray(257, '1') << 10 << false << true << TM_ERR_PIN_LEN_RANGE << 10 << 10 << QString();
        QTest::newRow("257 bytes on a locked PIN")
            << QByteArray(257, '1') << 0 << false << true << TM_ERR_PIN_LEN_RANGE << 0 << 0 << setTries;
        QTest::newRow("empty PIN without sensor")
            << QByteArray() << 10 << false << true << TM_ERR_NO_SENSOR << 10 << 10 << QString();
        QTest::newRow("empty PIN on a sensor, no finger")
            << QByteArray() << 7 << true << true << TM_ERR_FINGER << 7 << 7 << "fingerprint sensor";
        QTest::newRow("not initialized")
            << UserPin << 10 << false << false << TM_ERR_NOT_INITIALIZED << 10 << 10 << QString();
    }
    void login()
    {
        QFETCH(QByteArray, pin);
        QFETCH(int, triesBefore);
        QFETCH(bool, sensor);
        QFETCH(bool, initialized);
        QFETCH(uint, status);
        QFETCH(int, retries);
        QFETCH(int, triesAfter);
        QFETCH(QString, virtualOnly);
        if (!virtualOnly.isEmpty())
            QX_VIRTUAL_ONLY(virtualOnly);
        TokenBench::Token setup;
        setup.initialized = initialized;
        setup.virtualTweak = [&](VToken& t) {
            t.userPin.triesLeft = triesBefore;
            t.fingerSupport = sensor;
        };
        QVERIFY(addToken(1, setup));
        QCOMPARE(connectAll(), bench().slots(initialized ? 1 : 0, initialized ? 0 : 1));
        int slot = initialized ? slotOf(1) : uninitializedSlot();
        QVERIFY(slot >= 0);
        int32_t left = -2;
        QCOMPARE(token_login(slot, pin.constData(), &left), tm_status(status));
        QCOMPARE(left, tries(retries));
        QList<int> st = pinState(slot, TM_PIN_USER);
        QCOMPARE(st.value(0), tries(triesAfter));
        QCOMPARE(st.value(1), tries(10));
        QCOMPARE(st.value(4), triesAfter == 0 ? 1 : 0);
        QCOMPARE(st.value(5), status == TM_OK ? 1 : 0);
        // The count lives on the token, not in the process.
        QCOMPARE(restart(), bench().slots(initialized ? 1 : 0, initialized ? 0 : 1));
        slot = initialized ? slotOf(1) : uninitializedSlot();
        st = pinState(slot, TM_PIN_USER);
        QCOMPARE(st.value(0), tries(triesAfter));
        QCOMPARE(st.value(4), triesAfter == 0 ? 1 : 0);
        QCOMPARE(st.value(5), 0);
    }

    void soLoginAndPinChanges_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b"); // empty: one character longer than the token's maximum
        QTest::addColumn<uint>("status");
        QTest::addColumn<bool>("userPinIsB");
        QTest::addColumn<bool>("soPinIsB");
        QTest::addColumn<int>("userTries");
        QTest::addColumn<int>("soTries");
        const QByteArray n("24682468");
        QTest::newRow("change user PIN") << "upin" << UserPin << n << TM_OK << true << false << 10 << 10;
        QTest::newRow("change user PIN, wrong old")
            << "upin" << QByteArray("99999999") << n << TM_ERR_PIN_INCORRECT << false << false << 9 << 10;
        QTest::newRow("change user PIN, new too long")
            << "upin" << UserPin << QByteArray() << TM_ERR_PIN_LEN_RANGE << false << false << 10 << 10;
        QTest::newRow("change SO PIN") << "sopin" << SoPin << n << TM_OK << false << true << 10 << 10;
        QTest::newRow("change SO PIN, wrong old")
            << "sopin" << UserPin << n << TM_ERR_PIN_INCORRECT << false << false << 10 << 9;
        QTest::newRow("reset user PIN") << "setupin" << SoPin << n << TM_OK << true << false << 10 << 10;
        QTest::newRow("reset user PIN, wrong SO PIN")
            << "setupin" << UserPin << n << TM_ERR_PIN_INCORRECT << false << false << 3 << 9;
    }
    void soLoginAndPinChanges()
    {
        QFETCH(QString, call);
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(uint, status);
        QFETCH(bool, userPinIsB);
        QFETCH(bool, soPinIsB);
        QFETCH(int, userTries);
        QFETCH(int, soTries);
        // On the virtual device the user PIN starts with 3 tries left, so a reset visibly restores them.
        TokenBench::Token setup;
        setup.virtualTweak = [&](VToken& t) {
            if (call == QLatin1String("setupin"))
                t.userPin.triesLeft = 3;
        };
        QVERIFY(addToken(1, setup));
        QCOMPARE(connectAll(), bench().slots(1, 0));
        const int slot = slotOf(1);
        QVERIFY(slot >= 0);
        if (b.isEmpty())
            b = QByteArray(pinState(slot, TM_PIN_USER).value(3) + 1, '1');
        tm_status r = 0;
        if (call == QLatin1String("upin"))
            r = token_change_upin(slot, a.constData(), b.constData());
        else if (call == QLatin1String("sopin"))
            r = token_change_sopin(slot, a.constData(), b.constData());
        else
            r = token_set_upin(slot, a.constData(), b.constData());
        QCOMPARE(r, tm_status(status));
        QCOMPARE(pinState(slot, TM_PIN_USER).value(0), tries(userTries));
        QCOMPARE(pinState(slot, TM_PIN_SO).value(0), tries(soTries));
        // Each PIN is the one expected: the right PIN logs in, which a changed or kept one would not.
        int32_t left = -2;
        QCOMPARE(token_login_so(slot, (soPinIsB ? b : SoPin).constData(), &left), TM_OK);
        QCOMPARE(left, tries(10));
        QCOMPARE(userLogin(slot, userPinIsB ? b : UserPin), TM_OK);
    }

    void changesNeedLogin_data()
    {
        QTest::addColumn<QString>("call");
        QTest::newRow("create container") << "create";
        QTest::newRow("delete container") << "delete";
        QTest::newRow("delete certificate") << "deletecert";
        QTest::newRow("write sectors") << "sectors"; // PKCS#11 has no sectors: not supported at all
    }
    void changesNeedLogin()
    {
        QFETCH(QString, call);
        TokenBench::Token setup;
        setup.containers = {"box"};
        setup.virtualTweak = [](VToken& t) { t.cdromSectors = 4; };
        QVERIFY(addToken(1, setup));
        QCOMPARE(connectAll(), bench().slots(1, 0));
        const int slot = slotOf(1);
        QVERIFY(slot >= 0);
        const QByteArray sector(TM_SECTOR_SIZE, 'x');
        const auto run = [&] {
            if (call == QLatin1String("create"))
                return container_create_new(slot, "new box");
            if (call == QLatin1String("delete"))
                return container_delete(slot, "box");
            if (call == QLatin1String("deletecert"))
                return container_delete_cert(slot, "box", TM_KEYSPEC_SIGNATURE);
            return token_write_sectors(slot, 0, 1,
                                       reinterpret_cast<const unsigned char*>(sector.constData()));
        };
        const bool unsupported = call == QLatin1String("sectors") && !onDevice();
        const auto expect = [&](tm_status s) { return unsupported ? TM_ERR_NOT_SUPPORTED : s; };
        VirtualTokenBench* device = bench().virtualDevice();
        const quint64 generation = device ? device->read(1).generation : 0;
        QCOMPARE(run(), expect(TM_ERR_NOT_LOGGED_IN));
        if (device)
            QCOMPARE(device->read(1).generation, generation); // not written at all
        QCOMPARE(userLogin(slot), TM_OK);
        QCOMPARE(containers(slot), QList<QByteArray>{"box"});
        QCOMPARE(certificate(slot, "box", TM_KEYSPEC_SIGNATURE), keyedCert());
        QCOMPARE(run(), expect(TM_OK));
        QCOMPARE(token_logout(slot), TM_OK);
        QCOMPARE(run(), expect(TM_ERR_NOT_LOGGED_IN));
    }

    void containerNames_data()
    {
        QTest::addColumn<QByteArrayList>("names");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<uint>("status");
        QTest::addColumn<int>("length");
        QTest::newRow("none") << QByteArrayList{} << 8192 << TM_OK << 0;
        QTest::newRow("two, one with a space") << QByteArrayList{"a b", "{0A}"} << 8192 << TM_OK << 9;
        QTest::newRow("exactly fits") << QByteArrayList{"abc", "de"} << 7 << TM_OK << 7;
        QTest::newRow("one byte short") << QByteArrayList{"abc", "de"} << 6 << TM_ERR_BUFFER_TOO_SMALL << 7;
    }
    void containerNames()
    {
        QFETCH(QByteArrayList, names);
        QFETCH(int, capacity);
        QFETCH(uint, status);
        QFETCH(int, length);
        QVERIFY(addToken(1));
        QCOMPARE(connectAll(), bench().slots(1, 0));
        const int slot = slotOf(1);
        QCOMPARE(userLogin(slot), TM_OK);
        for (const QByteArray& n : names)
            QCOMPARE(container_create_new(slot, n.constData()), TM_OK);
        QCOMPARE(container_create_new(slot, names.value(0, "x").constData()),
                 names.isEmpty() ? TM_OK : TM_ERR_EXISTS);
        if (names.isEmpty())
            QCOMPARE(container_delete(slot, "x"), TM_OK);
        QByteArray buf(capacity + 16, '\x5A');
        int32_t len = capacity;
        QCOMPARE(container_load_all(slot, buf.data(), &len), tm_status(status));
        QCOMPARE(len, length);
        QCOMPARE(buf.mid(capacity), QByteArray(16, '\x5A'));
        if (status == TM_OK)
            QCOMPARE(buf.left(len).split('\0').mid(0, names.size()), names);
    }

    // A container with a certificate outlives the connection on every backend, with the usage it was
    // imported for; an empty one only where the token keeps empty containers (PKCS#11 has no object for it).
    void containersAcrossSessions()
    {
        TokenBench::Token setup;
        setup.containers = {"box"};
        QVERIFY(addToken(1, setup));
        QCOMPARE(connectAll(), bench().slots(1, 0));
        int slot = slotOf(1);
        QCOMPARE(userLogin(slot), TM_OK);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tiny.cer"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(tinyCert());
        f.close();
        const QByteArray file = path.toLocal8Bit();
        QCOMPARE(container_create_new(slot, "empty"), TM_OK);
        for (const char* name : {"exchange", "signing"}) {
            const int setup = name[0] == 'e' ? TM_KEYSPEC_EXCHANGE : TM_KEYSPEC_SIGNATURE;
            QCOMPARE(container_create_new(slot, name), TM_OK);
            QCOMPARE(x509_import_certificate(slot, name, setup, file.constData()), TM_OK);
            // An import never overwrites a certificate.
            QCOMPARE(x509_import_certificate(slot, name, setup, file.constData()), TM_ERR_EXISTS);
        }
        QCOMPARE(containers(slot), (QList<QByteArray>{"box", "empty", "exchange", "signing"}));

        QCOMPARE(restart(), bench().slots(1, 0));
        slot = slotOf(1);
        QCOMPARE(userLogin(slot), TM_OK);
        QList<QByteArray> expected{"box", "exchange", "signing"};
        if (bench().keepsEmptyContainers())
            expected = {"box", "empty", "exchange", "signing"};
        QCOMPARE(containers(slot), expected);
        QCOMPARE(certificate(slot, "exchange", TM_KEYSPEC_EXCHANGE), tinyCert());
        QCOMPARE(certificate(slot, "exchange", TM_KEYSPEC_SIGNATURE), QByteArray());
        QCOMPARE(certificate(slot, "signing", TM_KEYSPEC_SIGNATURE), tinyCert());
        QCOMPARE(certificate(slot, "signing", TM_KEYSPEC_EXCHANGE), QByteArray());
        QCOMPARE(certificate(slot, "box", TM_KEYSPEC_SIGNATURE), keyedCert());
        int32_t type = -1, bits = -1;
        QCOMPARE(container_get_prikey(slot, "signing", TM_KEYSPEC_SIGNATURE, &type, &bits), TM_ERR_NOT_FOUND);
    }

    void containerObjects()
    {
        TokenBench::Token setup;
        setup.containers = {"box"};
        QVERIFY(addToken(1, setup));
        QCOMPARE(connectAll(), bench().slots(1, 0));
        const int slot = slotOf(1);
        // The tree reads a container's objects after a login; a private key is visible only then.
        QCOMPARE(userLogin(slot), TM_OK);
        QByteArray buf(16384, 0);
        unsigned char* data = reinterpret_cast<unsigned char*>(buf.data());
        int32_t len = int32_t(buf.size());
        QCOMPARE(container_get_cert(slot, "box", TM_KEYSPEC_SIGNATURE, data, &len), TM_OK);
        QCOMPARE(buf.left(len), keyedCert());
        len = 16384;
        QCOMPARE(container_get_cert(slot, "box", TM_KEYSPEC_EXCHANGE, data, &len), TM_ERR_NOT_FOUND);
        len = 16384;
        QCOMPARE(container_get_cert(slot, "none", TM_KEYSPEC_SIGNATURE, data, &len), TM_ERR_NOT_FOUND);
        len = 16384;
        QCOMPARE(container_get_cert(slot, "box", 3, data, &len), TM_ERR_ARGUMENTS);
        len = 10;
        QCOMPARE(container_get_cert(slot, "box", TM_KEYSPEC_SIGNATURE, data, &len), TM_ERR_BUFFER_TOO_SMALL);
        QCOMPARE(len, int32_t(keyedCert().size()));
        int32_t type = -1, bits = -1;
        QCOMPARE(container_get_prikey(slot, "box", TM_KEYSPEC_SIGNATURE, &type, &bits), TM_OK);
        QCOMPARE(type, TM_KEYTYPE_EC);
        QCOMPARE(bits, 256);
        QCOMPARE(container_get_prikey(slot, "box", TM_KEYSPEC_EXCHANGE, &type, &bits), TM_ERR_NOT_FOUND);
        unsigned char blob[256 + 8];
        std::memset(blob, 0x5A, sizeof(blob));
        int32_t blen = 256;
        type = bits = -1;
        QCOMPARE(container_get_pubkey(slot, "box", TM_KEYSPEC_SIGNATURE, &type, &bits, blob, &blen), TM_OK);
        QCOMPARE(type, TM_KEYTYPE_EC);
        QCOMPARE(bits, 256);
        // The EC point itself, uncompressed, as the header says: the last 65 bytes of the key's DER.
        QCOMPARE(blen, 65);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(blob), blen), keyedPublicKey().right(65));
        for (int i = 256; i < 264; ++i)
            QCOMPARE(blob[i], 0x5A);
        // A capacity one short asks for the length needed.
        blen = 64;
        QCOMPARE(container_get_pubkey(slot, "box", TM_KEYSPEC_SIGNATURE, &type, &bits, blob, &blen),
                 TM_ERR_BUFFER_TOO_SMALL);
        QCOMPARE(blen, 65);
    }

    // Deleting a certificate leaves its key pair, which takes a renewed certificate for the same key;
    // deleting the container takes everything.
    void deleteCertificateKeepsKeyPair()
    {
        TokenBench::Token setup;
        setup.containers = {"box"};
        QVERIFY(addToken(1, setup));
        QCOMPARE(connectAll(), bench().slots(1, 0));
        int slot = slotOf(1);
        QCOMPARE(userLogin(slot), TM_OK);
        QCOMPARE(container_delete_cert(slot, "box", TM_KEYSPEC_SIGNATURE), TM_OK);
        QCOMPARE(container_delete_cert(slot, "box", TM_KEYSPEC_SIGNATURE), TM_ERR_NOT_FOUND);

        // Also for the next program that looks.
        QCOMPARE(restart(), bench().slots(1, 0));
        slot = slotOf(1);
        QCOMPARE(userLogin(slot), TM_OK);
        QCOMPARE(containers(slot), QList<QByteArray>{"box"});
        QVERIFY(certificate(slot, "box", TM_KEYSPEC_SIGNATURE).isEmpty());
        verifyKeyPair(slot, "box");

        QTemporaryDir dir;
        const auto file = [&](const char* name, const QByteArray& der) {
            QFile f(dir.filePath(QLatin1String(name)));
            f.open(QIODevice::WriteOnly);
            f.write(der);
            return f.fileName().toLocal8Bit();
        };
        QCOMPARE(x509_import_certificate(slot, "box", TM_KEYSPEC_SIGNATURE, file("other.cer", tinyCert())),
                 TM_ERR_EXISTS);
        QCOMPARE(x509_import_certificate(slot, "box", TM_KEYSPEC_SIGNATURE, file("renewed.cer", keyedCert())),
                 TM_OK);
        QCOMPARE(token_reload_all_objects(slot), TM_OK);
        QCOMPARE(containers(slot), QList<QByteArray>{"box"});
        QCOMPARE(certificate(slot, "box", TM_KEYSPEC_SIGNATURE), keyedCert());
        verifyKeyPair(slot, "box");

        QCOMPARE(container_delete(slot, "box"), TM_OK);
        QCOMPARE(containers(slot), QList<QByteArray>());
        int32_t type = -1, bits = -1;
        QCOMPARE(container_get_prikey(slot, "box", TM_KEYSPEC_SIGNATURE, &type, &bits), TM_ERR_NOT_FOUND);
    }

    // A container holding only a private key tells its public key from the private key itself.
    void publicKeyOfAPrivateKeyAlone()
    {
        if (!onDevice() && QStandardPaths::findExecutable(QStringLiteral("pkcs11-tool")).isEmpty())
            QSKIP("pkcs11-tool is not installed (package opensc)");
        TokenBench::Token setup;
        setup.privateKeyOnly = {"keys"};
        QVERIFY(addToken(1, setup));
        QCOMPARE(connectAll(), bench().slots(1, 0));
        const int slot = slotOf(1);
        QCOMPARE(userLogin(slot), TM_OK);
        QCOMPARE(containers(slot), QList<QByteArray>{"keys"});
        QVERIFY(certificate(slot, "keys", TM_KEYSPEC_SIGNATURE).isEmpty());
        verifyKeyPair(slot, "keys");
    }

    void importThatDoesNotFit()
    {
        QX_VIRTUAL_ONLY("token memory cannot be filled on purpose through PKCS#11");
        VirtualTokenBench* device = bench().virtualDevice();
        TokenBench::Token setup;
        setup.virtualTweak = [](VToken& t) {
            VToken::Container c;
            c.name = "box";
            t.containers << c;
            t.totalMemory = 4096;
        };
        QVERIFY(addToken(1, setup));
        QCOMPARE(connectAll(), 1);
        QCOMPARE(userLogin(0), TM_OK);
        QVERIFY(
            device->update(1, [](VToken& t) { t.reservedMemory = t.totalMemory - t.memoryUsed() - 100; }));
        TokenText t;
        QCOMPARE(info(0, &t), TM_OK);
        QCOMPARE(t.v[5], 100);
        const QString path = device->path(QStringLiteral("tiny.cer"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(tinyCert());
        f.close();
        const QByteArray file = path.toLocal8Bit();
        QCOMPARE(x509_import_certificate(0, "box", TM_KEYSPEC_SIGNATURE, file.constData()), TM_ERR_NO_SPACE);
        QVERIFY(certificate(0, "box", TM_KEYSPEC_SIGNATURE).isEmpty());
        QVERIFY(device->update(1, [](VToken& t) { t.reservedMemory = 0; }));
        QCOMPARE(x509_import_certificate(0, "box", TM_KEYSPEC_SIGNATURE, file.constData()), TM_OK);
        QCOMPARE(certificate(0, "box", TM_KEYSPEC_SIGNATURE), tinyCert());
        // Stored objects take memory.
        QCOMPARE(info(0, &t), TM_OK);
        QVERIFY(t.v[5] < 4096 - tinyCert().size());
    }

    void label_data()
    {
        // What the caller's 64-byte field holds (longer = no NUL in it).
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<uint>("status");
        QTest::addColumn<QByteArray>("stored"); // empty: the label stays
        QTest::newRow("short") << QByteArray("Office") << TM_OK << QByteArray("Office");
        QTest::newRow("chinese") << QStringLiteral("办公室令牌").toUtf8() << TM_OK
                                 << QStringLiteral("办公室令牌").toUtf8();
        QTest::newRow("exactly 64 bytes, no terminator")
            << QByteArray(64, 'L') + "TRAILING" << TM_OK << QByteArray(64, 'L');
        // 21 three-byte characters take 63 bytes; the 22nd is cut by the field's end and dropped.
        QTest::newRow("character cut at the end") << QStringLiteral("汉").repeated(30).toUtf8() << TM_OK
                                                  << QStringLiteral("汉").repeated(21).toUtf8();
        QTest::newRow("not UTF-8") << QByteArray("\xff\xfe bad") << TM_ERR_ARGUMENTS << QByteArray();
    }
    // PKCS#11 sets a label only by initializing the token: there every change is not supported.
    void label()
    {
        QFETCH(QByteArray, field);
        QFETCH(uint, status);
        QFETCH(QByteArray, stored);
        QVERIFY(addToken(1));
        QCOMPARE(connectAll(), bench().slots(1, 0));
        const int slot = slotOf(1);
        QVERIFY(slot >= 0);
        const bool supported = onDevice();
        QCOMPARE(token_set_label(slot, field.constData()),
                 supported ? tm_status(status) : TM_ERR_NOT_SUPPORTED);
        TokenText t;
        QCOMPARE(info(slot, &t), TM_OK);
        QCOMPARE(QByteArray(t.label), supported && !stored.isEmpty() ? stored : TokenBench::label(1));
    }

    void format_data()
    {
        QTest::addColumn<bool>("initialized");
        QTest::addColumn<bool>("soLogin");
        QTest::addColumn<int>("userMin");
        QTest::addColumn<int>("userMax");
        QTest::addColumn<QByteArray>("newUserPin");
        QTest::addColumn<QByteArray>("newSoPin");
        QTest::addColumn<uint>("status");
        QTest::addColumn<uint>("pkcs11Status"); // where PKCS#11 answers otherwise
        const QByteArray pin("1111"), so("SOSOSOSO");
        QTest::newRow("initialized, SO PIN verified then logged out")
            << true << true << 4 << 16 << pin << SoPin << TM_OK << TM_OK;
        // C_InitToken takes the token's current SO PIN; it sets no new one.
        QTest::newRow("initialized, new SO PIN")
            << true << true << 4 << 16 << pin << so << TM_OK << TM_ERR_PIN_INCORRECT;
        QTest::newRow("initialized, no SO PIN")
            << true << false << 4 << 16 << pin << SoPin << TM_ERR_SO_NOT_LOGGED_IN << TM_ERR_SO_NOT_LOGGED_IN;
        QTest::newRow("never initialized") << false << false << 4 << 16 << pin << so << TM_OK << TM_OK;
        QTest::newRow("user PIN too short")
            << false << false << 6 << 16 << pin << so << TM_ERR_PIN_LEN_RANGE << TM_ERR_PIN_LEN_RANGE;
        QTest::newRow("minimum above maximum")
            << false << false << 10 << 5 << pin << so << TM_ERR_ARGUMENTS << TM_ERR_ARGUMENTS;
        QTest::newRow("32-byte PIN fills its field")
            << false << false << 4 << 32 << QByteArray(32, '7') << so << TM_OK << TM_OK;
    }
    void format()
    {
        QFETCH(bool, initialized);
        QFETCH(bool, soLogin);
        QFETCH(int, userMin);
        QFETCH(int, userMax);
        QFETCH(QByteArray, newUserPin);
        QFETCH(QByteArray, newSoPin);
        QFETCH(uint, status);
        QFETCH(uint, pkcs11Status);
        if (!onDevice())
            status = pkcs11Status;
        TokenBench::Token setup;
        setup.initialized = initialized;
        if (initialized)
            setup.containers = {"old"};
        QVERIFY(addToken(1, setup));
        QCOMPARE(connectAll(), bench().slots(initialized ? 1 : 0, initialized ? 0 : 1));
        int slot = initialized ? slotOf(1) : uninitializedSlot();
        QVERIFY(slot >= 0);
        if (soLogin) {
            int32_t left = 0;
            QCOMPARE(token_login_so(slot, SoPin.constData(), &left), TM_OK);
            QCOMPARE(token_logout(slot), TM_OK);
        }
        unsigned char rec[TM_FORMAT_RECORD_SIZE] = {};
        const QByteArray label = QStringLiteral("新令牌").toUtf8();
        std::memcpy(rec, label.constData(), size_t(label.size()));
        std::memcpy(rec + 32, "ACME", 4);
        std::memcpy(rec + 64, "Issuer", 6);
        std::memcpy(rec + 96, newSoPin.constData(), size_t(newSoPin.size()));
        std::memcpy(rec + 128, newUserPin.constData(), size_t(newUserPin.size()));
        rec[160] = 5;
        rec[161] = 6;
        rec[162] = uchar(userMin);
        rec[163] = uchar(userMax);
        rec[164] = 4;
        rec[165] = 16;
        QCOMPARE(token_format(slot, rec), tm_status(status));
        if (status != TM_OK) {
            TokenText t;
            QCOMPARE(info(slot, &t), TM_OK);
            QCOMPARE(t.v[8], initialized ? 1 : 0);
            if (initialized) {
                QCOMPARE(userLogin(slot), TM_OK);
                QCOMPARE(containers(slot), QList<QByteArray>{"old"});
            }
            return;
        }
        // Formatting ends the SO authority: a second format needs the SO PIN again.
        QCOMPARE(token_format(slot, rec), TM_ERR_SO_NOT_LOGGED_IN);
        slot = slotOf(label);
        QVERIFY(slot >= 0);
        TokenText t;
        QCOMPARE(info(slot, &t), TM_OK);
        QCOMPARE(t.v[8], 1);
        int32_t left = 0;
        QCOMPARE(token_login_so(slot, newSoPin.constData(), &left), TM_OK);
        QCOMPARE(userLogin(slot, newUserPin), TM_OK);
        QCOMPARE(containers(slot), QList<QByteArray>());
        const QList<int> user = pinState(slot, TM_PIN_USER);
        QCOMPARE(user.value(0), tries(5));
        QCOMPARE(user.value(1), tries(5));
        QCOMPARE(pinState(slot, TM_PIN_SO).value(1), tries(6));
        // The record's manufacturer and PIN lengths; a PKCS#11 module keeps its own.
        if (onDevice()) {
            QCOMPARE(QByteArray(t.manufacturer), QByteArray("ACME"));
            QCOMPARE(user.value(2), userMin);
            QCOMPARE(user.value(3), userMax);
        }
    }

    void remoteUnlock_data()
    {
        QTest::addColumn<QString>("response"); // "right", "wrong", "right+00", "long"
        QTest::addColumn<uint>("status");
        QTest::newRow("right response") << "right" << TM_OK;
        QTest::newRow("with a pasted line break") << "right+00" << TM_OK;
        QTest::newRow("wrong response") << "wrong" << TM_ERR_RESPONSE;
        QTest::newRow("too short") << "short" << TM_ERR_RESPONSE;
        QTest::newRow("longer than 64 bytes") << "long" << TM_ERR_RESPONSE;
    }
    // PKCS#11 has no challenge: there both calls are not supported.
    void remoteUnlock()
    {
        QFETCH(QString, response);
        QFETCH(uint, status);
        TokenBench::Token setup;
        setup.virtualTweak = [](VToken& t) { t.userPin.triesLeft = 0; };
        QVERIFY(addToken(1, setup));
        QCOMPARE(connectAll(), bench().slots(1, 0));
        const int slot = slotOf(1);
        unsigned char challenge[TM_CHALLENGE_SIZE + 8];
        std::memset(challenge, 0x5A, sizeof(challenge));
        VirtualTokenBench* device = bench().virtualDevice();
        unsigned char generated[TM_UNLOCK_RESPONSE_BYTES + 1];
        std::memset(generated, 0x5A, sizeof(generated));
        if (!device) {
            QCOMPARE(token_get_challenge(slot, challenge), TM_ERR_NOT_SUPPORTED);
            QCOMPARE(token_remote_unlock_upin(slot, challenge, 8), TM_ERR_NOT_SUPPORTED);
            // The issuer of a module's token computes its responses; the library has no key for it.
            QCOMPARE(token_unlock_response("QX4100000000000001", challenge, generated), TM_ERR_NOT_SUPPORTED);
            return;
        }
        QCOMPARE(token_remote_unlock_upin(slot, reinterpret_cast<const unsigned char*>("x"), 1),
                 TM_ERR_NO_CHALLENGE);
        QCOMPARE(token_get_challenge(slot, challenge), TM_OK);
        for (int i = TM_CHALLENGE_BYTES; i < TM_CHALLENGE_SIZE; ++i)
            QCOMPARE(challenge[i], 0);
        for (int i = TM_CHALLENGE_SIZE; i < TM_CHALLENGE_SIZE + 8; ++i)
            QCOMPARE(challenge[i], 0x5A);
        const VToken stored = device->read(1);
        QByteArray r = VToken::unlockResponse(
            stored.unlockKey, QByteArray(reinterpret_cast<const char*>(challenge), TM_CHALLENGE_BYTES));
        // The administrator's side computes the same, by serial, and writes no byte past the response.
        QCOMPARE(token_unlock_response(stored.serial.toLatin1().constData(), challenge, generated), TM_OK);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(generated), TM_UNLOCK_RESPONSE_BYTES), r);
        QCOMPARE(generated[TM_UNLOCK_RESPONSE_BYTES], 0x5A);
        QCOMPARE(token_unlock_response("QX4100NOSUCHTOKEN1", challenge, generated), TM_ERR_NOT_FOUND);
        if (response == QLatin1String("right+00"))
            r += '\0';
        else if (response == QLatin1String("wrong"))
            r[0] = char(r[0] ^ 1);
        else if (response == QLatin1String("short"))
            r.chop(1);
        else if (response == QLatin1String("long"))
            r = r + QByteArray(65 - r.size(), '\0');
        QCOMPARE(token_remote_unlock_upin(slot, reinterpret_cast<const unsigned char*>(r.constData()),
                                          int32_t(r.size())),
                 tm_status(status));
        const QList<int> st = pinState(slot, TM_PIN_USER);
        QCOMPARE(st.value(4), status != TM_OK ? 1 : 0);
        if (status == TM_OK) {
            QCOMPARE(st.value(0), st.value(1));
            QCOMPARE(userLogin(slot), TM_OK);
            // A response is good for one unlock only.
            QCOMPARE(token_remote_unlock_upin(slot, reinterpret_cast<const unsigned char*>(r.constData()),
                                              int32_t(r.size())),
                     TM_ERR_NO_CHALLENGE);
        }
    }

    void nullArguments()
    {
        QVERIFY(addToken(1));
        QCOMPARE(connectAll(), bench().slots(1, 0));
        const int slot = slotOf(1);
        int32_t n = 0;
        QCOMPARE(token_find(nullptr, nullptr), TM_ERR_ARGUMENTS);
        n = 4;
        QCOMPARE(token_find(nullptr, &n), TM_ERR_ARGUMENTS);
        QCOMPARE(token_login(slot, nullptr, &n), TM_ERR_ARGUMENTS);
        QCOMPARE(token_login(slot, "12345678", nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(token_set_label(slot, nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(token_format(slot, nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(token_get_challenge(slot, nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(token_remote_unlock_upin(slot, nullptr, 4), TM_ERR_ARGUMENTS);
        unsigned char bytes[TM_UNLOCK_RESPONSE_BYTES] = {};
        QCOMPARE(token_unlock_response(nullptr, bytes, bytes), TM_ERR_ARGUMENTS);
        QCOMPARE(token_unlock_response("QX4100000000000001", nullptr, bytes), TM_ERR_ARGUMENTS);
        QCOMPARE(token_unlock_response("QX4100000000000001", bytes, nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(container_load_all(slot, nullptr, nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(container_create_new(slot, nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(container_create_new(slot, ""), TM_ERR_NAME);
        QCOMPARE(container_create_new(slot, QByteArray(129, 'n').constData()), TM_ERR_NAME);
        QCOMPARE(pkcs12_file_parse(nullptr, "x", &n), TM_ERR_ARGUMENTS);
        QCOMPARE(pkcs12_file_get_certinfo(0, nullptr, nullptr, &n), TM_ERR_NO_FILE);
        QCOMPARE(
            helper_get_cert_info2(nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            TM_ERR_ARGUMENTS);
        QCOMPARE(helper_show_cert_ui(0, nullptr, 0), TM_ERR_ARGUMENTS);
    }
};

QTEST_GUILESS_MAIN(TstTokenMgrContract)
#include "tst_tokenmgr_contract.moc"
