// SPDX-License-Identifier: BSD-3-Clause
// What only the virtual tokens have: their module names, faults, store files and CD-ROM image.
#include "TokenLibraryFixture.h"
#include "VFileLock.h"

#include <QFile>
#include <QtTest>

#include <cstring>

using namespace ContractData;

class TstTokenMgrVirtual : public QObject, protected TokenLibraryFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(start()); }
    void cleanup() { stop(); }

    void initModules_data()
    {
        QTest::addColumn<QByteArray>("module");
        QTest::addColumn<bool>("null");
        QTest::addColumn<uint>("status");
        QTest::newRow("default name") << QByteArray("q7sec_pkcs11.dll") << false << TM_OK;
        QTest::newRow("default, .so") << QByteArray("q7sec_pkcs11.so") << false << TM_OK;
        QTest::newRow("letter case") << QByteArray("Q7SEC_PKCS11.DLL") << false << TM_OK;
        QTest::newRow("empty") << QByteArray() << false << TM_OK;
        QTest::newRow("unknown module")
            << QByteArray("/nonexistent/libnone-pkcs11.so") << false << TM_ERR_UNKNOWN_MODULE;
        QTest::newRow("null") << QByteArray() << true << TM_ERR_ARGUMENTS;
    }
    void initModules()
    {
        QFETCH(QByteArray, module);
        QFETCH(bool, null);
        QFETCH(uint, status);
        uninit_pkcs11();
        QCOMPARE(init_pkcs11(null ? nullptr : module.constData()), tm_status(status));
        QCOMPARE(init_pkcs11_ex("", "qx4100", "QX4100RSA", null ? nullptr : module.constData()),
                 tm_status(status));
    }

    void pinsAreNotStoredInClear()
    {
        addToken(1);
        QCOMPARE(connectAll(), 1);
        QCOMPARE(token_change_upin(0, UserPin.constData(), "Zq8#Zq8#Zq8#"), TM_OK);
        QFile f(store().tokenPath(serialFor(1)));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(!bytes.contains("Zq8#Zq8#Zq8#"));
        QVERIFY(!bytes.contains(SoPin));
    }

    void writeSectors_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("count");
        QTest::addColumn<uint>("status");
        QTest::newRow("first sectors") << 0 << 3 << TM_OK;
        QTest::newRow("up to the end") << 6 << 2 << TM_OK;
        QTest::newRow("one past the end") << 7 << 2 << TM_ERR_RANGE;
        QTest::newRow("start beyond") << 8 << 1 << TM_ERR_RANGE;
        QTest::newRow("negative start") << -1 << 1 << TM_ERR_ARGUMENTS;
        QTest::newRow("nothing") << 0 << 0 << TM_OK;
    }
    void writeSectors()
    {
        QFETCH(int, first);
        QFETCH(int, count);
        QFETCH(uint, status);
        addToken(1, [](VToken& t) { t.cdromSectors = 8; });
        QCOMPARE(connectAll(), 1);
        QCOMPARE(userLogin(), TM_OK);
        QByteArray data(qMax(count, 0) * TM_SECTOR_SIZE, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char('a' + (i / TM_SECTOR_SIZE));
        QCOMPARE(
            token_write_sectors(0, first, count, reinterpret_cast<const unsigned char*>(data.constData())),
            tm_status(status));
        QFile image(store().cdromPath(serialFor(1)));
        if (status != TM_OK || count == 0) {
            QVERIFY(!image.exists() || image.size() == 8 * TM_SECTOR_SIZE);
            return;
        }
        QVERIFY(image.open(QIODevice::ReadOnly));
        QCOMPARE(image.size(), 8 * TM_SECTOR_SIZE);
        QVERIFY(image.seek(qint64(first) * TM_SECTOR_SIZE));
        QCOMPARE(image.read(data.size()), data);
    }

    void faults_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("function");
        QTest::addColumn<uint>("faultStatus");
        QTest::addColumn<int>("writesLeft");
        QTest::addColumn<uint>("first");
        QTest::addColumn<uint>("second");
        QTest::addColumn<bool>("plugged");
        QTest::newRow("fail next call") << int(VToken::Fault::FailNextCall) << "container_create_new"
                                        << 0x0A000099u << 0 << 0x0A000099u << TM_OK << true;
        QTest::newRow("fail another function") << int(VToken::Fault::FailNextCall) << "container_delete"
                                               << 0x0A000099u << 0 << TM_OK << TM_OK << true;
        QTest::newRow("fail after one write")
            << int(VToken::Fault::FailAfterWrites) << "*" << 0u << 1 << TM_OK << TM_ERR_DEVICE << true;
        QTest::newRow("pulled out mid-call")
            << int(VToken::Fault::PullOutNextCall) << "container_create_new" << 0u << 0
            << TM_ERR_TOKEN_REMOVED << TM_ERR_TOKEN_REMOVED << false;
    }
    void faults()
    {
        QFETCH(int, kind);
        QFETCH(QString, function);
        QFETCH(uint, faultStatus);
        QFETCH(int, writesLeft);
        QFETCH(uint, first);
        QFETCH(uint, second);
        QFETCH(bool, plugged);
        addToken(1);
        QCOMPARE(connectAll(), 1);
        QCOMPARE(userLogin(), TM_OK);
        updateToken(1, [&](VToken& t) {
            VToken::Fault f;
            f.kind = VToken::Fault::Kind(kind);
            f.function = function;
            f.status = faultStatus;
            f.writesLeft = writesLeft;
            t.faults << f;
        });
        QCOMPARE(container_create_new(0, "one"), tm_status(first));
        QCOMPARE(container_create_new(0, "two"), tm_status(second));
        const VToken t = readToken(1);
        QCOMPARE(t.pluggedIn, plugged);
        // Whatever failed left no trace on the token.
        QCOMPARE(t.containers.size(), int(first == TM_OK) + int(second == TM_OK));
    }

    void pulledOutBetweenCalls()
    {
        addToken(1);
        addToken(2);
        QCOMPARE(connectAll(), 2);
        QCOMPARE(userLogin(0), TM_OK);
        updateToken(1, [](VToken& t) { t.pluggedIn = false; });
        QCOMPARE(container_create_new(0, "box"), TM_ERR_TOKEN_REMOVED);
        // Plugging it back does not revive the old connection: the tool finds and connects again.
        updateToken(1, [](VToken& t) { t.pluggedIn = true; });
        QCOMPARE(token_logout(0), TM_ERR_TOKEN_REMOVED);
        QCOMPARE(token_logout(1), TM_OK);
        QCOMPARE(connectAll(), 2);
        QCOMPARE(container_create_new(0, "box"), TM_ERR_NOT_LOGGED_IN);
        // A deleted token file reads as pulled out as well.
        QVERIFY(QFile::remove(store().tokenPath(serialFor(2))));
        QCOMPARE(token_logout(1), TM_ERR_TOKEN_REMOVED);
    }

    // A change that cannot get the token from another program says so, and writes nothing.
    void busyToken()
    {
        addToken(1);
        QCOMPARE(connectAll(), 1);
        QCOMPARE(userLogin(0), TM_OK);
        VFileLock other(store().lockPath(serialFor(1)));
        QVERIFY(other.tryLock(0));
        QCOMPARE(container_create_new(0, "box"), TM_ERR_BUSY);
        other.unlock();
        QCOMPARE(container_create_new(0, "box"), TM_OK);
    }

    void failingTokenFile()
    {
        addToken(1);
        QFile f(store().tokenPath(serialFor(1)));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x40);
        QVERIFY(f.seek(0));
        f.write(bytes);
        f.close();
        QCOMPARE(connectAll(), 1);
        QCOMPARE(token_connect(0), TM_ERR_TOKEN_FAILING);
        char s[TM_SERIAL_SIZE], l[TM_LABEL_SIZE], m[TM_MANUFACTURER_SIZE], o[TM_MODEL_SIZE];
        int32_t v[10];
        QCOMPARE(token_get_info_ex(0, s, l, m, o, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7],
                                   &v[8], &v[9]),
                 TM_ERR_TOKEN_FAILING);
        QCOMPARE(token_set_label(0, "guess"), TM_ERR_TOKEN_FAILING);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes); // never overwritten
    }
};

QTEST_GUILESS_MAIN(TstTokenMgrVirtual)
#include "tst_tokenmgr_virtual.moc"
