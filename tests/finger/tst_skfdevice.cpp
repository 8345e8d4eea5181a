// SPDX-License-Identifier: BSD-3-Clause
// The SKF device library on virtual tokens, driven through the binding the tool uses.
#include "TestEnv.h"
#include "TokenMgr.h"
#include "VFingerprints.h"
#include "VSensor.h"
#include "VToken.h"
#include "VTokenStore.h"
#include "skf/TSkfBinding.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QByteArray UserPin("12345678");
const QByteArray SoPin("87654321");

// Serials differ across the whole run: the library keeps its handles for the life of the process.
QString nextSerial()
{
    static int n = 0;
    return QStringLiteral("QX41SKF%1").arg(++n, 9, 10, QLatin1Char('0'));
}

} // namespace

class TstSkfDevice : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<TSkfBinding> m_skf;
    QString m_serial; // the token with a sensor every test starts with

    VTokenStore store() const { return VTokenStore(m_env->tokenStore()); }

    QString addToken(const std::function<void(VToken&)>& tweak = {})
    {
        VToken t = VToken::makeNew(nextSerial(), UserPin, SoPin);
        t.fingerSupport = true;
        if (tweak)
            tweak(t);
        VTokenStore s = store();
        if (s.create(t) != VTokenStore::Result::Ok)
            qFatal("cannot create a token");
        return t.serial;
    }

    void change(const std::function<void(VToken&)>& fn, const QString& serial = {})
    {
        VTokenStore s = store();
        QCOMPARE(s.update(serial.isEmpty() ? m_serial : serial,
                          [&](VToken& t) {
                              fn(t);
                              return true;
                          }),
                 VTokenStore::Result::Ok);
    }

    VToken token() const
    {
        VToken t;
        store().load(m_serial, &t);
        return t;
    }

    void enrollDirectly(int pinType, int number, int placed)
    {
        change([&](VToken& t) {
            VFingerprints f = VFingerprints::read(t);
            f.owner(pinType).fingers.insert(number, placed);
            f.write(t);
        });
    }

    VSensor sensor() const { return VSensor(m_env->tokenStore(), m_serial); }
    HAPPLICATION app() const { return m_skf->currentApplication(); }

    uint32_t verifyPin(uint32_t type, const QByteArray& pin, uint32_t* retries = nullptr)
    {
        uint32_t r = 0;
        return m_skf->VerifyPIN(app(), type, pin.constData(), retries ? retries : &r);
    }

    TFingerInfo fingerInfo(uint32_t type, uint32_t* status = nullptr)
    {
        TFingerInfo info;
        const uint32_t s = m_skf->GetFingerInfo(app(), type, info);
        if (status)
            *status = s;
        return info;
    }

    // Polls like the enrollment dialog until the library stops asking for more; progress seen on the way.
    uint32_t enrollUntilDone(uint32_t type, uint32_t finger, QList<uint32_t>* progress, int timeoutMs = 10000)
    {
        QElapsedTimer t;
        t.start();
        uint32_t status = SAR_FINGER_PENDING;
        while (status == SAR_FINGER_PENDING && t.elapsed() < timeoutMs) {
            uint32_t p = 0;
            status = m_skf->EnrollFinger(app(), type, finger, &p);
            if (progress && (progress->isEmpty() || progress->last() != p))
                progress->append(p);
            if (status == SAR_FINGER_PENDING)
                QTest::qWait(20);
        }
        return status;
    }

private Q_SLOTS:
    void init()
    {
        m_env = std::make_unique<TestEnv>(false);
        m_serial = addToken();
        m_skf = std::make_unique<TSkfBinding>(QStringLiteral(SKF_LIBRARY_DIR));
        QVERIFY(m_skf->isLoaded());
        QCOMPARE(m_skf->LoadFingerDevices(), SAR_OK);
        m_skf->MatchTokenApplication(m_serial.toLatin1());
        QVERIFY(app());
    }

    void cleanup()
    {
        m_skf.reset();
        m_env.reset();
    }

    void devicesAreTheTokensWithASensor()
    {
        const QString plain = addToken([](VToken& t) { t.fingerSupport = false; });
        const QString unplugged = addToken([](VToken& t) { t.pluggedIn = false; });
        const QString second = addToken();
        QCOMPARE(m_skf->LoadFingerDevices(), SAR_OK);
        QStringList names;
        for (int i = 0; i < m_skf->devices().Count; ++i)
            names << QString::fromLatin1(m_skf->devices().Names[i]);
        QCOMPARE(names, QStringList({m_serial + QStringLiteral(" FP"), second + QStringLiteral(" FP")}));
        QCOMPARE(m_skf->applications(1).Count, 1);
        QVERIFY(m_skf->applications(1).Handles[0]);

        m_skf->MatchTokenApplication(second.toLatin1());
        QCOMPARE(m_skf->currentApplication(), m_skf->applications(1).Handles[0]);
        Q_UNUSED(plain);
        Q_UNUSED(unplugged);
    }

    void noSensorTokenMeansNoDevice()
    {
        change([](VToken& t) { t.fingerSupport = false; });
        QCOMPARE(m_skf->LoadFingerDevices(), SKF_NO_DEVICE);
    }

    void enrollmentReportsGrowingProgress_data()
    {
        QTest::addColumn<QList<int>>("touches");
        QTest::addColumn<uint32_t>("status");
        QTest::addColumn<QList<uint32_t>>("progress");
        QTest::addColumn<int>("enrolled");
        using P = QList<uint32_t>;
        QTest::newRow("three touches") << QList<int>{4, 4, 4} << SAR_OK << P{0, 33, 66, 100} << 1;
        QTest::newRow("another finger midway") << QList<int>{4, 6} << SAR_FINGER_FAILED << P{0, 33} << 0;
        QTest::newRow("unknown finger")
            << QList<int>{VSensor::UnknownFinger} << SAR_FINGER_FAILED << P{0} << 0;
        // Finger 9 was enrolled as number 1 before.
        QTest::newRow("finger already enrolled")
            << QList<int>{9, 9, 9} << SAR_FINGER_EXIST << P{0, 33, 66, 100} << 1;
    }
    void enrollmentReportsGrowingProgress()
    {
        QFETCH(QList<int>, touches);
        QFETCH(uint32_t, status);
        QFETCH(QList<uint32_t>, progress);
        QFETCH(int, enrolled);
        if (QTest::currentDataTag() == QByteArray("finger already enrolled"))
            enrollDirectly(1, 1, 9);
        QCOMPARE(verifyPin(SKF_USER_TYPE, UserPin), SAR_OK);
        QCOMPARE(m_skf->EnrollFingerInit(app(), SKF_USER_TYPE, 3), SAR_OK);

        // Nothing on the sensor yet: pending, no progress.
        QList<uint32_t> seen;
        uint32_t p = 7;
        QCOMPARE(m_skf->EnrollFinger(app(), SKF_USER_TYPE, 3, &p), SAR_FINGER_PENDING);
        seen << p;
        uint32_t last = SAR_FINGER_PENDING;
        for (int finger : touches) {
            QVERIFY(sensor().place(finger));
            last = m_skf->EnrollFinger(app(), SKF_USER_TYPE, 3, &p);
            if (p != seen.last())
                seen << p;
        }
        QCOMPARE(last, status);
        QCOMPARE(seen, progress);
        QCOMPARE(m_skf->ReadFingerState(SKF_USER_TYPE, m_serial.toLatin1()), SAR_OK);
        QCOMPARE(m_skf->userFingerCount(), enrolled);
        // The session is over either way.
        QCOMPARE(m_skf->EnrollFinger(app(), SKF_USER_TYPE, 3, &p), SAR_FAIL);
    }

    void enrolledFingerIsListed()
    {
        QCOMPARE(verifyPin(SKF_ADMIN_TYPE, SoPin), SAR_OK);
        QCOMPARE(m_skf->EnrollFingerInit(app(), SKF_ADMIN_TYPE, 7), SAR_OK);
        for (int i = 0; i < 3; ++i)
            QVERIFY(sensor().place(2));
        QCOMPARE(enrollUntilDone(SKF_ADMIN_TYPE, 7, nullptr), SAR_OK);
        const TFingerInfo admin = fingerInfo(SKF_ADMIN_TYPE);
        QCOMPARE(admin.EnrolledCount, 1);
        QCOMPARE(admin.IdCount, 10u);
        QCOMPARE(admin.FingerIds[0], uint8_t(7));
        QCOMPARE(fingerInfo(SKF_USER_TYPE).EnrolledCount, 0);
        QCOMPARE(m_skf->EnrollFingerInit(app(), SKF_ADMIN_TYPE, 7), SAR_FINGER_EXIST);
    }

    void changesNeedTheRightLogin_data()
    {
        QTest::addColumn<int>("login"); // -1 none, else the PIN type verified
        QTest::addColumn<uint32_t>("type");
        QTest::addColumn<uint32_t>("status");
        QTest::newRow("nobody") << -1 << SKF_USER_TYPE << SAR_USER_NOT_LOGGED_IN;
        QTest::newRow("user, user's fingers") << 1 << SKF_USER_TYPE << SAR_OK;
        QTest::newRow("user, administrator's fingers") << 1 << SKF_ADMIN_TYPE << SAR_USER_NOT_LOGGED_IN;
        QTest::newRow("administrator, user's fingers") << 0 << SKF_USER_TYPE << SAR_OK;
        QTest::newRow("administrator, own fingers") << 0 << SKF_ADMIN_TYPE << SAR_OK;
    }
    void changesNeedTheRightLogin()
    {
        QFETCH(int, login);
        QFETCH(uint32_t, type);
        QFETCH(uint32_t, status);
        enrollDirectly(int(type), 5, 5);
        if (login >= 0)
            QCOMPARE(verifyPin(uint32_t(login), login == 0 ? SoPin : UserPin), SAR_OK);
        QCOMPARE(m_skf->EnrollFingerInit(app(), type, 1), status);
        QCOMPARE(m_skf->UnblockFinger(app(), type), status);
        QCOMPARE(m_skf->DeleteFinger(app(), type, 5), status);
        // Logging out withdraws the right.
        m_skf->ClearSecureState(app());
        QCOMPARE(m_skf->DeleteFinger(app(), type, SKF_ALL_FINGERS), SAR_USER_NOT_LOGGED_IN);
    }

    void deleteFingers()
    {
        enrollDirectly(1, 2, 2);
        enrollDirectly(1, 8, 8);
        QCOMPARE(verifyPin(SKF_USER_TYPE, UserPin), SAR_OK);
        QCOMPARE(m_skf->DeleteFinger(app(), SKF_USER_TYPE, 3), SAR_FINGER_NOT_EXIST);
        QCOMPARE(m_skf->DeleteFinger(app(), SKF_USER_TYPE, 2), SAR_OK);
        QCOMPARE(fingerInfo(SKF_USER_TYPE).FingerIds[0], uint8_t(8));
        QCOMPARE(m_skf->DeleteFinger(app(), SKF_USER_TYPE, 11), SAR_INVALIDPARAMERR);
        QCOMPARE(m_skf->DeleteFinger(app(), SKF_USER_TYPE, SKF_ALL_FINGERS), SAR_OK);
        QCOMPARE(fingerInfo(SKF_USER_TYPE).EnrolledCount, 0);
        QCOMPARE(m_skf->DeleteFinger(app(), SKF_USER_TYPE, SKF_ALL_FINGERS), SAR_OK);
    }

    void testIsPendingUntilAFingerComes_data()
    {
        QTest::addColumn<int>("touch");
        QTest::addColumn<uint32_t>("status");
        QTest::addColumn<uint32_t>("matched");
        QTest::addColumn<uint32_t>("retries");
        QTest::newRow("enrolled finger") << 6 << SAR_OK << 4u << 10u;
        QTest::newRow("other enrolled finger") << 9 << SAR_OK << 2u << 10u;
        QTest::newRow("finger enrolled for the administrator") << 3 << SAR_FINGER_FAILED << 0u << 8u;
        QTest::newRow("unknown finger") << int(VSensor::UnknownFinger) << SAR_FINGER_FAILED << 0u << 8u;
    }
    void testIsPendingUntilAFingerComes()
    {
        QFETCH(int, touch);
        QFETCH(uint32_t, status);
        QFETCH(uint32_t, matched);
        QFETCH(uint32_t, retries);
        enrollDirectly(1, 4, 6);
        enrollDirectly(1, 2, 9);
        enrollDirectly(0, 1, 3);
        change([](VToken& t) {
            VFingerprints f = VFingerprints::read(t);
            f.user.retriesLeft = 9; // a match restores the retries
            f.write(t);
        });
        // Testing needs no login.
        QCOMPARE(m_skf->VerifyFingerInit(app(), SKF_USER_TYPE), SAR_OK);
        uint32_t finger = 0;
        QCOMPARE(m_skf->TestFinger(app(), SKF_USER_TYPE, &finger), SAR_FINGER_PENDING);
        QCOMPARE(m_skf->TestFinger(app(), SKF_USER_TYPE, &finger), SAR_FINGER_PENDING);
        QVERIFY(sensor().place(touch));
        QCOMPARE(m_skf->TestFinger(app(), SKF_USER_TYPE, &finger), status);
        QCOMPARE(finger, matched);
        QCOMPARE(fingerInfo(SKF_USER_TYPE).RetriesLeft, retries);
    }

    void failedVerificationsBlockUntilUnblocked()
    {
        enrollDirectly(1, 1, 1);
        change([](VToken& t) {
            VFingerprints f = VFingerprints::read(t);
            f.user.maxRetries = f.user.retriesLeft = 2;
            f.write(t);
        });
        for (uint32_t left : {1u, 0u}) {
            QCOMPARE(m_skf->VerifyFingerInit(app(), SKF_USER_TYPE), SAR_OK);
            QVERIFY(sensor().place(5));
            uint32_t finger = 0;
            QCOMPARE(m_skf->TestFinger(app(), SKF_USER_TYPE, &finger), SAR_FINGER_FAILED);
            QCOMPARE(fingerInfo(SKF_USER_TYPE).RetriesLeft, left);
        }
        QCOMPARE(m_skf->VerifyFingerInit(app(), SKF_USER_TYPE), SAR_PIN_LOCKED);
        QCOMPARE(verifyPin(SKF_USER_TYPE, UserPin), SAR_OK);
        QCOMPARE(m_skf->UnblockFinger(app(), SKF_USER_TYPE), SAR_OK);
        QCOMPARE(fingerInfo(SKF_USER_TYPE).RetriesLeft, 2u);
        QCOMPARE(m_skf->VerifyFingerInit(app(), SKF_USER_TYPE), SAR_OK);
    }

    void testWithoutEnrolledFingers()
    {
        QCOMPARE(m_skf->VerifyFingerInit(app(), SKF_USER_TYPE), SAR_FINGER_NOT_EXIST);
        uint32_t finger = 0;
        QCOMPARE(m_skf->TestFinger(app(), SKF_USER_TYPE, &finger), SAR_FAIL);
    }

    void automaticSensorEnrollsAndMatchesByItself()
    {
        enrollDirectly(1, 2, 2);
        QVERIFY(sensor().setAutomatic(true));
        QCOMPARE(verifyPin(SKF_USER_TYPE, UserPin), SAR_OK);
        QCOMPARE(m_skf->EnrollFingerInit(app(), SKF_USER_TYPE, 5), SAR_OK);
        QList<uint32_t> progress;
        QCOMPARE(enrollUntilDone(SKF_USER_TYPE, 5, &progress), SAR_OK);
        // One sample per call; with the shortened interval the first may already be there at the first call.
        if (progress.first() == 0)
            progress.removeFirst();
        QCOMPARE(progress, (QList<uint32_t>{33, 66, 100}));

        // The first enrolled finger matches.
        QCOMPARE(m_skf->VerifyFingerInit(app(), SKF_USER_TYPE), SAR_OK);
        uint32_t finger = 0;
        QElapsedTimer waited;
        waited.start();
        uint32_t status = SAR_FINGER_PENDING;
        while (status == SAR_FINGER_PENDING && waited.elapsed() < 5000) {
            QTest::qWait(20);
            status = m_skf->TestFinger(app(), SKF_USER_TYPE, &finger);
        }
        QCOMPARE(status, SAR_OK);
        QCOMPARE(finger, 2u);
    }

    // The SKF side checks the token's own PINs and spends the token's own tries.
    void pinsAndTriesAreTheTokens_data()
    {
        QTest::addColumn<uint32_t>("type");
        QTest::newRow("user") << SKF_USER_TYPE;
        QTest::newRow("administrator") << SKF_ADMIN_TYPE;
    }
    void pinsAndTriesAreTheTokens()
    {
        QFETCH(uint32_t, type);
        const QByteArray right = type == SKF_ADMIN_TYPE ? SoPin : UserPin;
        const auto tries = [&] {
            const VToken t = token();
            return (type == SKF_ADMIN_TYPE ? t.soPin : t.userPin).triesLeft;
        };
        uint32_t retries = 0;
        QCOMPARE(verifyPin(type, "00000000", &retries), SAR_PIN_INCORRECT);
        QCOMPARE(retries, 9u);
        QCOMPARE(tries(), 9);
        QCOMPARE(verifyPin(type, "123", &retries), SAR_PIN_LEN_RANGE); // cannot be it: no try spent
        QCOMPARE(tries(), 9);
        QCOMPARE(verifyPin(type, right, &retries), SAR_OK);
        QCOMPARE(tries(), 10);

        change([&](VToken& t) { (type == SKF_ADMIN_TYPE ? t.soPin : t.userPin).triesLeft = 1; });
        QCOMPARE(verifyPin(type, "00000000", &retries), SAR_PIN_LOCKED);
        QCOMPARE(retries, 0u);
        QCOMPARE(verifyPin(type, right, &retries), SAR_PIN_LOCKED);
        QCOMPARE(m_skf->EnrollFingerInit(app(), type, 1), SAR_USER_NOT_LOGGED_IN);
    }

    void tokenManagerSeesTheSameTries()
    {
        QCOMPARE(init_pkcs11("q7sec_pkcs11.dll"), TM_OK);
        int32_t count = TM_MAX_SLOTS;
        uint32_t ids[TM_MAX_SLOTS] = {};
        QCOMPARE(token_find(ids, &count), TM_OK);
        QCOMPARE(token_connect(0), TM_OK);
        QCOMPARE(verifyPin(SKF_USER_TYPE, "00000000"), SAR_PIN_INCORRECT);
        int32_t v[6] = {};
        QCOMPARE(token_get_pin_state(0, TM_PIN_USER, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]), TM_OK);
        QCOMPARE(v[0], 9);
        int32_t retries = 0;
        QCOMPARE(token_login(0, "00000000", &retries), TM_ERR_PIN_INCORRECT);
        uint32_t skfRetries = 0;
        QCOMPARE(verifyPin(SKF_USER_TYPE, "00000000", &skfRetries), SAR_PIN_INCORRECT);
        QCOMPARE(skfRetries, 7u);
        uninit_pkcs11();
    }

    // An empty PIN at the token manager verifies a finger on the same sensor.
    void emptyPinLoginVerifiesAFinger_data()
    {
        QTest::addColumn<int>("touch");
        QTest::addColumn<int>("pinType");
        QTest::addColumn<uint32_t>("status");
        QTest::addColumn<uint32_t>("retries");
        QTest::newRow("user finger") << 4 << TM_PIN_USER << TM_OK << 10u;
        QTest::newRow("unknown finger") << int(VSensor::UnknownFinger) << TM_PIN_USER << TM_ERR_FINGER << 9u;
        QTest::newRow("user finger at the SO login") << 4 << TM_PIN_SO << TM_ERR_FINGER << 9u;
        QTest::newRow("administrator finger") << 1 << TM_PIN_SO << TM_OK << 10u;
    }
    void emptyPinLoginVerifiesAFinger()
    {
        QFETCH(int, touch);
        QFETCH(int, pinType);
        QFETCH(uint32_t, status);
        QFETCH(uint32_t, retries);
        enrollDirectly(1, 3, 4);
        enrollDirectly(0, 6, 1);
        QCOMPARE(init_pkcs11("q7sec_pkcs11.dll"), TM_OK);
        int32_t count = TM_MAX_SLOTS;
        uint32_t ids[TM_MAX_SLOTS] = {};
        QCOMPARE(token_find(ids, &count), TM_OK);
        QCOMPARE(token_connect(0), TM_OK);
        QVERIFY(sensor().place(touch));
        int32_t left = 0;
        const tm_status r = pinType == TM_PIN_SO ? token_login_so(0, "", &left) : token_login(0, "", &left);
        uninit_pkcs11();
        QCOMPARE(r, status);
        QCOMPARE(fingerInfo(uint32_t(pinType)).RetriesLeft, retries);
        QVERIFY(!sensor().take()); // the touch was used up
    }

    // One touch is one login, even when the login restores the retries and so changes the token.
    void oneTouchIsOneLogin()
    {
        enrollDirectly(1, 3, 4);
        change([](VToken& t) {
            VFingerprints f = VFingerprints::read(t);
            f.user.retriesLeft = 9;
            f.write(t);
        });
        QCOMPARE(init_pkcs11("q7sec_pkcs11.dll"), TM_OK);
        int32_t count = TM_MAX_SLOTS;
        uint32_t ids[TM_MAX_SLOTS] = {};
        QCOMPARE(token_find(ids, &count), TM_OK);
        QCOMPARE(token_connect(0), TM_OK);
        QVERIFY(sensor().place(4));
        int32_t left = 0;
        const tm_status first = token_login(0, "", &left);
        const tm_status second = token_login(0, "", &left); // nobody touches the sensor again
        uninit_pkcs11();
        QCOMPARE(first, TM_OK);
        QCOMPARE(second, TM_ERR_FINGER);
        QCOMPARE(fingerInfo(SKF_USER_TYPE).RetriesLeft, 10u);
    }

    void initFingerSetsRetriesAndLevels()
    {
        QCOMPARE(m_skf->InitFinger(app(), 5, 7, 2, 3), SAR_USER_NOT_LOGGED_IN);
        QCOMPARE(verifyPin(SKF_ADMIN_TYPE, SoPin), SAR_OK);
        QCOMPARE(m_skf->InitFinger(app(), 16, 7, 2, 3), SAR_INVALIDPARAMERR);
        QCOMPARE(m_skf->InitFinger(app(), 5, 7, 2, 4), SAR_INVALIDPARAMERR);
        QCOMPARE(m_skf->InitFinger(app(), 5, 7, 2, 3), SAR_OK);
        const TFingerInfo user = fingerInfo(SKF_USER_TYPE);
        QCOMPARE(user.RetriesLeft, 5u);
        QCOMPARE(user.StatusA, 5u); // maximum retries
        QCOMPARE(user.StatusB, 2u); // verification level
        const TFingerInfo admin = fingerInfo(SKF_ADMIN_TYPE);
        QCOMPARE(admin.RetriesLeft, 7u);
        QCOMPARE(admin.StatusB, 3u);
    }

    void tokenStateReachesEveryCall_data()
    {
        QTest::addColumn<bool>("plugged");
        QTest::addColumn<bool>("initialized");
        QTest::addColumn<uint32_t>("status");
        QTest::newRow("pulled out") << false << true << SAR_DEVICE_REMOVED;
        QTest::newRow("not initialized") << true << false << SAR_APPLICATION_NOT_EXISTS;
    }
    void tokenStateReachesEveryCall()
    {
        QFETCH(bool, plugged);
        QFETCH(bool, initialized);
        QFETCH(uint32_t, status);
        enrollDirectly(1, 1, 1);
        QCOMPARE(verifyPin(SKF_USER_TYPE, UserPin), SAR_OK);
        QCOMPARE(m_skf->EnrollFingerInit(app(), SKF_USER_TYPE, 2), SAR_OK);
        change([&](VToken& t) {
            t.pluggedIn = plugged;
            t.initialized = initialized;
        });
        uint32_t p = 0;
        QCOMPARE(m_skf->EnrollFinger(app(), SKF_USER_TYPE, 2, &p), status);
        uint32_t st = 0;
        fingerInfo(SKF_USER_TYPE, &st);
        QCOMPARE(st, status);
        QCOMPARE(m_skf->VerifyFingerInit(app(), SKF_USER_TYPE), status);
        QCOMPARE(verifyPin(SKF_USER_TYPE, UserPin), status);
        QCOMPARE(m_skf->DeleteFinger(app(), SKF_USER_TYPE, 1), status);
    }

    // Called directly, the library keeps to the capacities its caller gives.
    void libraryKeepsToCallerCapacities()
    {
        QLibrary lib(QStringLiteral(SKF_LIBRARY_DIR "/zkeyra_qx4100.so"));
        QVERIFY(lib.load());
        const auto getFingerInfo =
            reinterpret_cast<decltype(&SKF_GetFingerInfo)>(lib.resolve("SKF_GetFingerInfo"));
        const auto enumDev = reinterpret_cast<decltype(&SKF_EnumDev)>(lib.resolve("SKF_EnumDev"));
        QVERIFY(getFingerInfo && enumDev);

        enrollDirectly(1, 2, 2);
        enrollDirectly(1, 5, 5);
        uint32_t a = 0, b = 0, c = 0, r = 0;
        uint8_t ids[4] = {0xEE, 0xEE, 0xEE, 0xEE};
        uint32_t n = 1;
        QCOMPARE(getFingerInfo(app(), SKF_USER_TYPE, &a, &b, &c, &r, ids, &n), SAR_BUFFER_TOO_SMALL);
        QCOMPARE(n, 2u);
        QCOMPARE(ids[0], uint8_t(0xEE));
        n = 3;
        QCOMPARE(getFingerInfo(app(), SKF_USER_TYPE, &a, &b, &c, &r, ids, &n), SAR_OK);
        QCOMPARE(n, 3u);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(ids), 4), QByteArray("\x02\x05\x00\xEE", 4));

        const QByteArray name = m_serial.toLatin1() + " FP";
        QByteArray list(64, '\xEE');
        uint32_t size = uint32_t(name.size()) + 1; // one byte short
        QCOMPARE(enumDev(1, list.data(), &size), SAR_BUFFER_TOO_SMALL);
        QCOMPARE(size, uint32_t(name.size()) + 2);
        QCOMPARE(list.count('\xEE'), 64);
        size = 0;
        QCOMPARE(enumDev(1, nullptr, &size), SAR_OK);
        QCOMPARE(size, uint32_t(name.size()) + 2);
        QCOMPARE(enumDev(1, list.data(), &size), SAR_OK);
        QCOMPARE(list.left(int(size)), name + QByteArray(2, '\0'));
    }

    void tokenctlDrivesTheSensor()
    {
        const auto run = [&](const QStringList& args) {
            QProcess p;
            p.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
            p.start(QStringLiteral(TOKENCTL_PATH), QStringList{QStringLiteral("finger"), m_serial} + args);
            p.waitForFinished(20000);
            return p.exitCode();
        };
        QCOMPARE(run({QStringLiteral("place"), QStringLiteral("3")}), 0);
        QCOMPARE(run({QStringLiteral("unknown")}), 0);
        QCOMPARE(run({QStringLiteral("place"), QStringLiteral("11")}), 2);
        QCOMPARE(sensor().take(), std::optional<int>(3));
        QCOMPARE(sensor().take(), std::optional<int>(VSensor::UnknownFinger));
        QCOMPARE(run({QStringLiteral("auto"), QStringLiteral("on")}), 0);
        QVERIFY(sensor().automatic());
        QCOMPARE(run({QStringLiteral("enroll"), QStringLiteral("admin"), QStringLiteral("4")}), 0);
        QCOMPARE(fingerInfo(SKF_ADMIN_TYPE).FingerIds[0], uint8_t(4));
    }
};

QTEST_GUILESS_MAIN(TstSkfDevice)
#include "tst_skfdevice.moc"
