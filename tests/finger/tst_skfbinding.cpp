// SPDX-License-Identifier: BSD-3-Clause
#include "FakeSkf.h"
#include "TestEnv.h"
#include "skf/TSkfBinding.h"

#include <QFile>
#include <QTest>

#include <functional>
#include <memory>

using Operation = std::function<uint32_t(TSkfBinding&, HAPPLICATION, uint32_t*)>;
Q_DECLARE_METATYPE(Operation)
Q_DECLARE_METATYPE(uint32_t)

namespace {
// A name list as the library returns it: NUL-terminated names ended by an empty one.
QByteArray nameList(const QList<QByteArray>& names)
{
    QByteArray list;
    for (const QByteArray& n : names)
        list += n + '\0';
    return list + '\0';
}

// Every operation of the binding that forwards to one library function.
QList<std::pair<const char*, Operation>> allOperations()
{
    return {
        {"EnumDev",
         [](TSkfBinding& b, HAPPLICATION, uint32_t* out) {
             char buf[16] = {};
             *out = sizeof buf;
             return b.EnumDev(true, buf, out);
         }},
        {"ConnectDev",
         [](TSkfBinding& b, HAPPLICATION, uint32_t*) {
             DEVHANDLE h = nullptr;
             return b.ConnectDev("D", &h);
         }},
        {"EnumApplication",
         [](TSkfBinding& b, HAPPLICATION, uint32_t* out) {
             char buf[16] = {};
             *out = sizeof buf;
             return b.EnumApplication(nullptr, buf, out);
         }},
        {"OpenApplication",
         [](TSkfBinding& b, HAPPLICATION, uint32_t*) {
             HAPPLICATION h = nullptr;
             return b.OpenApplication(nullptr, "A", &h);
         }},
        {"VerifyPIN",
         [](TSkfBinding& b, HAPPLICATION a, uint32_t* out) { return b.VerifyPIN(a, 0, "1234", out); }},
        {"InitFinger",
         [](TSkfBinding& b, HAPPLICATION a, uint32_t*) { return b.InitFinger(a, 5, 10, 2, 3); }},
        {"EnrollFingerInit",
         [](TSkfBinding& b, HAPPLICATION a, uint32_t*) { return b.EnrollFingerInit(a, 1, 4); }},
        {"EnrollFinger",
         [](TSkfBinding& b, HAPPLICATION a, uint32_t* out) { return b.EnrollFinger(a, 0, 7, out); }},
        {"VerifyFingerInit",
         [](TSkfBinding& b, HAPPLICATION a, uint32_t*) { return b.VerifyFingerInit(a, 1); }},
        {"TestFinger", [](TSkfBinding& b, HAPPLICATION a, uint32_t* out) { return b.TestFinger(a, 0, out); }},
        {"DeleteFinger", [](TSkfBinding& b, HAPPLICATION a, uint32_t*) { return b.DeleteFinger(a, 1, 255); }},
        {"GetFingerInfo",
         [](TSkfBinding& b, HAPPLICATION a, uint32_t*) {
             TFingerInfo info;
             return b.GetFingerInfo(a, 1, info);
         }},
        {"UnblockFinger", [](TSkfBinding& b, HAPPLICATION a, uint32_t*) { return b.UnblockFinger(a, 0); }},
        {"ClearSecureState", [](TSkfBinding& b, HAPPLICATION a, uint32_t*) { return b.ClearSecureState(a); }},
    };
}
} // namespace

class TestSkfBinding : public QObject
{
    Q_OBJECT

    // Each test gets its own application directory with the fake installed in it.
    struct Fixture
    {
        TestEnv env{false};
        FakeSkf fake{QStringLiteral(FAKESKF_PATH), env.appDir()};
        TSkfBinding skf{env.appDir()};
    };

    // The device with name `device` and application `app`, as the fake names handles.
    static void addDevices(FakeSkf& fake, const QList<QByteArray>& devices, const QList<QByteArray>& apps)
    {
        fake.setList("SKF_EnumDev", nameList(devices));
        for (const QByteArray& d : devices)
            fake.setList("SKF_EnumApplication:" + d, nameList(apps));
    }

private Q_SLOTS:
    void withoutLibraryEveryOperationReportsEntryMissing()
    {
        TestEnv env(false);
        TSkfBinding skf(env.appDir());
        QVERIFY(!skf.isLoaded());
        QCOMPARE(skf.libraryPath(), env.appDir() + QStringLiteral("zkeyra_qx4100_pcsc.so"));
        for (const auto& [name, op] : allOperations()) {
            uint32_t out = 0;
            QCOMPARE(op(skf, nullptr, &out), SKF_ENTRY_MISSING);
        }
        QCOMPARE(skf.LoadFingerDevices(), SKF_ENTRY_MISSING);
        QCOMPARE(skf.devices().Count, 0);
        QCOMPARE(skf.ReadFingerState(1, "S"), SKF_ENTRY_MISSING);
        QCOMPARE(skf.fingerInfo().EnrolledCount, 0);
    }

    void fallbackFileLoadsOnlyWhenFirstIsMissing_data()
    {
        QTest::addColumn<bool>("first");
        QTest::addColumn<bool>("fallback");
        QTest::addColumn<QString>("loaded");
        QTest::newRow("both") << true << true << "zkeyra_qx4100.so";
        QTest::newRow("fallback only") << false << true << "zkeyra_qx4100_pcsc.so";
        QTest::newRow("first only") << true << false << "zkeyra_qx4100.so";
    }
    void fallbackFileLoadsOnlyWhenFirstIsMissing()
    {
        QFETCH(bool, first);
        QFETCH(bool, fallback);
        QFETCH(QString, loaded);
        TestEnv env(false);
        std::unique_ptr<FakeSkf> a, b;
        if (first)
            a = std::make_unique<FakeSkf>(QStringLiteral(FAKESKF_PATH), env.appDir());
        if (fallback)
            b = std::make_unique<FakeSkf>(QStringLiteral(FAKESKF_PATH), env.appDir(),
                                          QStringLiteral("zkeyra_qx4100_pcsc.so"));
        TSkfBinding skf(env.appDir());
        QVERIFY(skf.isLoaded());
        QCOMPARE(skf.libraryPath(), env.appDir() + loaded);
        FakeSkf& used = loaded.contains(QLatin1String("pcsc")) ? *b : *a;
        used.setStatus("SKF_ClearSecureState", 0x77);
        QCOMPARE(skf.ClearSecureState(nullptr), 0x77u);
    }

    void missingExportOnlyAffectsItsOwnOperation()
    {
        TestEnv env(false);
        FakeSkf fake(QStringLiteral(FAKESKF_PARTIAL_PATH), env.appDir());
        TSkfBinding skf(env.appDir());
        QVERIFY(skf.isLoaded());
        uint32_t finger = 99;
        QCOMPARE(skf.TestFinger(nullptr, 1, &finger), SKF_ENTRY_MISSING);
        QCOMPARE(finger, 99u);
        TFingerInfo info;
        QCOMPARE(skf.GetFingerInfo(nullptr, 1, info), SKF_ENTRY_MISSING);
        QCOMPARE(info.EnrolledCount, 0);
        fake.setStatus("SKF_VerifyFingerInit", SAR_FINGER_NOT_EXIST);
        QCOMPARE(skf.VerifyFingerInit(nullptr, 1), SAR_FINGER_NOT_EXIST);
        QVERIFY(!fake.log().contains(QLatin1String("SKF_TestFinger")));
    }

    // Arguments reach the library in order, its status and output come back unchanged.
    void operationsForwardArgumentsAndStatus_data()
    {
        QTest::addColumn<Operation>("op");
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("out"); // -1: no output value
        const QMap<QString, QPair<QString, int>> expected{
            {"EnumDev", {"SKF_EnumDev(1,16)", 3}}, // the size of "D\0\0"
            {"ConnectDev", {"SKF_ConnectDev(D)", -1}},
            {"EnumApplication", {"SKF_EnumApplication(null,16)", 0}},
            {"OpenApplication", {"SKF_OpenApplication(null,A)", -1}},
            {"VerifyPIN", {"SKF_VerifyPIN(D/A,0,1234)", 42}},
            {"InitFinger", {"SKF_InitializeFinger(D/A,5,10,2,3)", -1}},
            {"EnrollFingerInit", {"SKF_EnrollFingerInit(D/A,1,4)", -1}},
            {"EnrollFinger", {"SKF_EnrollFinger(D/A,0,7)", 42}},
            {"VerifyFingerInit", {"SKF_VerifyFingerInit(D/A,1)", -1}},
            {"TestFinger", {"SKF_TestFinger(D/A,0)", 42}},
            {"DeleteFinger", {"SKF_DeleteFinger(D/A,1,255)", -1}},
            {"GetFingerInfo", {"SKF_GetFingerInfo(D/A,1,10)", -1}},
            {"UnblockFinger", {"SKF_UnblockFinger(D/A,0)", -1}},
            {"ClearSecureState", {"SKF_ClearSecureState(D/A)", -1}},
        };
        for (const auto& [name, op] : allOperations())
            QTest::newRow(name) << op << expected.value(QLatin1String(name)).first
                                << expected.value(QLatin1String(name)).second;
    }
    void operationsForwardArgumentsAndStatus()
    {
        QFETCH(Operation, op);
        QFETCH(QString, call);
        QFETCH(int, out);
        Fixture f;
        addDevices(f.fake, {"D"}, {"A"});
        QCOMPARE(f.skf.LoadFingerDevices(), SAR_OK);
        const HAPPLICATION app = f.skf.currentApplication();
        QCOMPARE(f.fake.handleName(app), QStringLiteral("D/A"));

        f.fake.push(call.left(call.indexOf(QLatin1Char('('))).toLatin1().constData(), 0x0A00ABCD, 42);
        uint32_t value = 7;
        QCOMPARE(op(f.skf, app, &value), 0x0A00ABCDu);
        const QStringList calls = f.fake.log().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(calls.last(), call);
        if (out >= 0)
            QCOMPARE(value, uint32_t(out));
    }

    void splitNameList_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QByteArray>>("names");
        using L = QList<QByteArray>;
        QTest::newRow("space kept") << nameList({"QX 0001", "QX0002"}) << L{"QX 0001", "QX0002"};
        QTest::newRow("question mark becomes space") << nameList({"A?B"}) << L{"A B"};
        QTest::newRow("runs and leading NULs") << QByteArray("\0\0A\0\0\0B\0\0", 9) << L{"A", "B"};
        QTest::newRow("no final empty string") << QByteArray("A\0BC", 4) << L{"A", "BC"};
        QTest::newRow("empty list") << QByteArray(1, '\0') << L{};
    }
    void splitNameList()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QByteArray>, names);
        QCOMPARE(TSkfBinding::SplitNameList(bytes.constData(), uint32_t(bytes.size())), names);
    }

    void splitNameListReadsOnlyTheReportedSize()
    {
        const QByteArray bytes("AB\0CD\0", 6);
        QCOMPARE(TSkfBinding::SplitNameList(bytes.constData(), 4), (QList<QByteArray>{"AB", "C"}));
    }

    void getDevInfo_data()
    {
        QTest::addColumn<QByteArray>("list");
        QTest::addColumn<uint32_t>("reportedSize");
        QTest::addColumn<uint32_t>("enumStatus");
        QTest::addColumn<int>("failingConnect"); // -1: none
        QTest::addColumn<uint32_t>("status");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("connects");

        const QByteArray two = nameList({"QX 1", "QX2"});
        QTest::newRow("two devices") << two << uint32_t(two.size()) << SAR_OK << -1 << SAR_OK << 2 << 2;
        QTest::newRow("size 0") << QByteArray() << 0u << SAR_OK << -1 << SKF_NO_DEVICE << 0 << 0;
        QTest::newRow("enumeration fails")
            << two << uint32_t(two.size()) << SAR_FAIL << -1 << SAR_FAIL << 0 << 0;
        QTest::newRow("list too long") << two << 4097u << SAR_OK << -1 << SAR_BUFFER_TOO_SMALL << 0 << 0;
        QTest::newRow("second connect fails")
            << nameList({"A", "B", "C"}) << 7u << SAR_OK << 1 << SAR_DEVICE_REMOVED << 3 << 2;

        QList<QByteArray> forty;
        for (int i = 0; i < 40; ++i)
            forty << "DEV" + QByteArray::number(i);
        const QByteArray many = nameList(forty);
        QTest::newRow("40 devices") << many << uint32_t(many.size()) << SAR_OK << -1 << SAR_OK << 33 << 33;

        // Fills the whole buffer with names and no terminating empty string.
        QByteArray full;
        while (full.size() < 4096)
            full += "NAME" + QByteArray::number(full.size()).rightJustified(4, '0') + '\0';
        full.truncate(4096);
        full[4095] = 'X';
        QTest::newRow("full buffer") << full << 4096u << SAR_OK << -1 << SAR_OK << 33 << 33;
    }
    void getDevInfo()
    {
        QFETCH(QByteArray, list);
        QFETCH(uint32_t, reportedSize);
        QFETCH(uint32_t, enumStatus);
        QFETCH(int, failingConnect);
        QFETCH(uint32_t, status);
        QFETCH(int, count);
        QFETCH(int, connects);
        Fixture f;
        f.fake.setList("SKF_EnumDev", list, reportedSize);
        f.fake.setStatus("SKF_EnumDev", enumStatus);
        for (int i = 0; i < failingConnect; ++i)
            f.fake.push("SKF_ConnectDev", SAR_OK);
        if (failingConnect >= 0)
            f.fake.push("SKF_ConnectDev", SAR_DEVICE_REMOVED);

        TGM_Info info;
        QCOMPARE(f.skf.GetDevInfo(info), status);
        QCOMPARE(info.Count, count);
        QCOMPARE(int(f.fake.log().count(QLatin1String("SKF_ConnectDev("))), connects);
        const QList<QByteArray> names = TSkfBinding::SplitNameList(list.constData(), uint32_t(list.size()));
        for (int i = 0; i < count; ++i)
            QCOMPARE(info.Names[i], names[i]);
        for (int i = 0; i < connects; ++i) {
            const QString expected =
                i == failingConnect ? QStringLiteral("null") : QString::fromLatin1(names[i]);
            QCOMPARE(f.fake.handleName(f.skf.deviceHandle(i)), expected);
        }
        QVERIFY(f.fake.log().startsWith(QLatin1String("SKF_EnumDev(1,4096)\n")));
    }

    void getAppInfoKeepsOpeningAfterAFailure()
    {
        Fixture f;
        QList<QByteArray> apps;
        for (int j = 0; j < 12; ++j)
            apps << "APP " + QByteArray::number(j);
        addDevices(f.fake, {"D"}, apps);
        TGM_Info devices;
        QCOMPARE(f.skf.GetDevInfo(devices), SAR_OK);
        f.fake.push("SKF_OpenApplication", SAR_OK);
        f.fake.push("SKF_OpenApplication", SAR_APPLICATION_NOT_EXISTS);
        f.fake.setStatus("SKF_OpenApplication", SAR_OK);

        TGM_APPInfo info;
        QCOMPARE(f.skf.GetAppInfo(0, info), SAR_OK);
        QCOMPARE(info.Count, 9);
        QCOMPARE(info.Names[8], QByteArray("APP 8"));
        QCOMPARE(f.fake.handleName(info.Handles[0]), QStringLiteral("D/APP 0"));
        QCOMPARE(info.Handles[1], nullptr);
        QCOMPARE(f.fake.handleName(info.Handles[8]), QStringLiteral("D/APP 8"));
        QCOMPARE(int(f.fake.log().count(QLatin1String("SKF_OpenApplication("))), 9);

        f.fake.setStatus("SKF_OpenApplication", SAR_FAIL);
        QCOMPARE(f.skf.GetAppInfo(0, info), SAR_FAIL); // the last open decides
        QCOMPARE(f.skf.GetAppInfo(33, info), SAR_INVALIDPARAMERR);
    }

    void getAppInfoWithEmptyListOpensNothing_data()
    {
        QTest::addColumn<uint32_t>("enumStatus");
        QTest::addColumn<uint32_t>("status");
        QTest::newRow("size 0") << SAR_OK << SAR_OK;
        QTest::newRow("enumeration fails") << SAR_FAIL << SAR_FAIL;
    }
    void getAppInfoWithEmptyListOpensNothing()
    {
        QFETCH(uint32_t, enumStatus);
        QFETCH(uint32_t, status);
        Fixture f;
        f.fake.setList("SKF_EnumDev", nameList({"D"}));
        f.fake.setList("SKF_EnumApplication:D", QByteArray(), 0);
        f.fake.setStatus("SKF_EnumApplication", enumStatus);
        TGM_Info devices;
        QCOMPARE(f.skf.GetDevInfo(devices), SAR_OK);
        TGM_APPInfo info;
        info.Count = 5;
        QCOMPARE(f.skf.GetAppInfo(0, info), status);
        if (status == SAR_OK)
            QCOMPARE(info.Count, 0);
        QVERIFY(!f.fake.log().contains(QLatin1String("SKF_OpenApplication")));
    }

    void loadFingerDevicesSelectsFirstApplicationAndUserType()
    {
        Fixture f;
        addDevices(f.fake, {"D1", "D2"}, {"A", "B"});
        QList<uint32_t> redraws;
        f.skf.setFingerPageRefresher([&](uint32_t type) { redraws << type; });
        f.skf.setCurrentPinType(SKF_ADMIN_TYPE);

        QCOMPARE(f.skf.LoadFingerDevices(), SAR_OK);
        QCOMPARE(f.skf.devices().Count, 2);
        QCOMPARE(f.fake.handleName(f.skf.currentApplication()), QStringLiteral("D1/A"));
        QCOMPARE(f.fake.handleName(f.skf.applications(1).Handles[1]), QStringLiteral("D2/B"));
        QCOMPARE(f.skf.currentPinType(), SKF_USER_TYPE);
        QCOMPARE(redraws, QList<uint32_t>{SKF_USER_TYPE});

        // A later enumeration that finds nothing changes neither the application nor the PIN type.
        f.skf.setCurrentPinType(SKF_ADMIN_TYPE);
        f.fake.setList("SKF_EnumDev", QByteArray(), 0);
        QCOMPARE(f.skf.LoadFingerDevices(), SKF_NO_DEVICE);
        QCOMPARE(f.fake.handleName(f.skf.currentApplication()), QStringLiteral("D1/A"));
        QCOMPARE(f.skf.currentPinType(), SKF_ADMIN_TYPE);
        QCOMPARE(redraws.size(), 1);
        QCOMPARE(f.skf.devices().Count, 0);
    }

    void loadFingerDevicesDropsApplicationsOfEarlierDevices()
    {
        Fixture f;
        addDevices(f.fake, {"D1", "D2"}, {"A"});
        QCOMPARE(f.skf.LoadFingerDevices(), SAR_OK);
        f.fake.setList("SKF_EnumDev", QByteArray(2, '\0'));
        QCOMPARE(f.skf.LoadFingerDevices(), SAR_OK);
        QCOMPARE(f.skf.devices().Count, 0);
        QCOMPARE(f.skf.currentApplication(), nullptr);
        QCOMPARE(f.skf.applications(1).Count, 0);
    }

    void matchTokenApplication_data()
    {
        QTest::addColumn<QList<QByteArray>>("devices");
        QTest::addColumn<QByteArray>("serial");
        QTest::addColumn<QString>("current");
        using L = QList<QByteArray>;
        QTest::newRow("first 16 characters") << L{"OTHER", "QX41000000000001-FP"}
                                             << QByteArray("QX41000000000001ABC") << "QX41000000000001-FP/A";
        QTest::newRow("last match wins") << L{"QX41000000000001 a", "QX41000000000001 b", "X"}
                                         << QByteArray("QX41000000000001") << "QX41000000000001 b/A";
        QTest::newRow("no match keeps current") << L{"QX1", "QX2"} << QByteArray("QX3") << "QX1/A";
        QTest::newRow("case-sensitive") << L{"abc", "ABCD"} << QByteArray("ABC") << "abc/A";
        QTest::newRow("short name compared whole") << L{"Z", "QX12"} << QByteArray("QX12") << "QX12/A";
        QTest::newRow("shorter serial") << L{"Z", "QX12"} << QByteArray("QX1") << "Z/A";
        QTest::newRow("serial up to its NUL")
            << L{"Z", "QX12"} << QByteArray("QX12\0garbage", 12) << "QX12/A";
    }
    void matchTokenApplication()
    {
        QFETCH(QList<QByteArray>, devices);
        QFETCH(QByteArray, serial);
        QFETCH(QString, current);
        Fixture f;
        addDevices(f.fake, devices, {"A", "B"});
        QCOMPARE(f.skf.LoadFingerDevices(), SAR_OK);
        f.skf.MatchTokenApplication(serial);
        QCOMPARE(f.fake.handleName(f.skf.currentApplication()), current);
    }

    void getFingerInfoCountsEnrolledFingers_data()
    {
        QTest::addColumn<QByteArray>("ids");
        QTest::addColumn<uint32_t>("reportedCount");
        QTest::addColumn<uint32_t>("status");
        QTest::addColumn<uint32_t>("idCount");
        QTest::addColumn<int>("enrolled");
        QTest::newRow("1 0 7") << QByteArray("\1\0\7", 3) << 3u << SAR_OK << 3u << 2;
        QTest::newRow("entries past the count ignored")
            << QByteArray("\1\0\7\3", 4) << 2u << SAR_OK << 2u << 1;
        QTest::newRow("count beyond the buffer") << QByteArray("\1\2", 2) << 100000u << SAR_OK << 260u << 2;
        QTest::newRow("failure") << QByteArray("\1\2", 2) << 2u << SAR_APPLICATION_NOT_EXISTS << 2u << 0;
        QTest::newRow("failure with wild count")
            << QByteArray("\1\2", 2) << 0xFFFFFFFFu << SAR_APPLICATION_NOT_EXISTS << 260u << 0;
    }
    void getFingerInfoCountsEnrolledFingers()
    {
        QFETCH(QByteArray, ids);
        QFETCH(uint32_t, reportedCount);
        QFETCH(uint32_t, status);
        QFETCH(uint32_t, idCount);
        QFETCH(int, enrolled);
        Fixture f;
        f.fake.setFingers(3, ids, reportedCount);
        f.fake.setStatus("SKF_GetFingerInfo", status);
        TFingerInfo info;
        info.EnrolledCount = 9;
        QCOMPARE(f.skf.GetFingerInfo(nullptr, SKF_USER_TYPE, info), status);
        QCOMPARE(info.IdCount, idCount);
        QCOMPARE(info.EnrolledCount, enrolled);
        QCOMPARE(info.RetriesLeft, 3u);
        QCOMPARE(info.StatusA, 0xAu);
        QCOMPARE(info.StatusC, 0xCu);
        QVERIFY(f.fake.log().contains(QLatin1String("SKF_GetFingerInfo(null,1,10)")));
    }

    void readFingerStateCachesCountPerPinType()
    {
        Fixture f;
        addDevices(f.fake, {"OTHER", "QX0001"}, {"A"});
        QCOMPARE(f.skf.LoadFingerDevices(), SAR_OK);
        f.fake.setFingers(5, QByteArray("\1\2\3", 3), 3);
        QCOMPARE(f.skf.ReadFingerState(SKF_ADMIN_TYPE, "QX0001"), SAR_OK);
        QCOMPARE(f.skf.adminFingerCount(), 3);
        QCOMPARE(f.skf.userFingerCount(), 0);
        QVERIFY(f.fake.log().endsWith(QLatin1String("SKF_GetFingerInfo(QX0001/A,0,10)\n")));

        f.fake.setFingers(5, QByteArray("\4", 1), 1);
        QCOMPARE(f.skf.ReadFingerState(SKF_USER_TYPE, "QX0001"), SAR_OK);
        QCOMPARE(f.skf.userFingerCount(), 1);
        QCOMPARE(f.skf.adminFingerCount(), 3);

        f.fake.setStatus("SKF_GetFingerInfo", SAR_FAIL);
        QCOMPARE(f.skf.ReadFingerState(SKF_USER_TYPE, "QX0001"), SAR_FAIL);
        QCOMPARE(f.skf.userFingerCount(), 0);
        QCOMPARE(f.skf.fingerInfo().RetriesLeft, 5u); // what the library wrote stays
    }

    void verifyPinConvertsText()
    {
        Fixture f;
        uint32_t retries = 0;
        f.fake.push("SKF_VerifyPIN", SAR_PIN_INCORRECT, 4);
        QCOMPARE(f.skf.VerifyPIN(nullptr, SKF_ADMIN_TYPE, QStringLiteral("12345678"), &retries),
                 SAR_PIN_INCORRECT);
        QCOMPARE(retries, 4u);
        QVERIFY(f.fake.log().contains(QLatin1String("SKF_VerifyPIN(null,0,12345678)")));
    }
};

QTEST_GUILESS_MAIN(TestSkfBinding)
#include "tst_skfbinding.moc"
