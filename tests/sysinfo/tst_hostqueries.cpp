// SPDX-License-Identifier: BSD-3-Clause
#include "platform/LinuxHostQueries.h"
#include "sysinfo/TOnlineUpdate.h"

#include <QtTest>

class TstHostQueries : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void versionFromFileName_data();
    void versionFromFileName();
    void moduleConfigName();
    void compareVersions_data();
    void compareVersions();
};

void TstHostQueries::versionFromFileName_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("version");
    QTest::newRow("three parts") << "libq7sec_pkcs11.so.1.2.3"
                                 << "1.2.3";
    QTest::newRow("one part") << "libccid.so.1"
                              << "1";
    QTest::newRow("unversioned") << "q7sec_pkcs11.so"
                                 << "";
    QTest::newRow("text after") << "libx.so.1.2.bak"
                                << "";
}

void TstHostQueries::versionFromFileName()
{
    QFETCH(QString, file);
    QFETCH(QString, version);
    QCOMPARE(LinuxHostQueries::versionFromFileName(file), version);
}

void TstHostQueries::moduleConfigName()
{
    QCOMPARE(LinuxHostQueries::moduleConfigName(QStringLiteral("Vostrel zKeyra Q7Sec CSP V1.1")),
             QStringLiteral("vostrel-zkeyra-q7sec-csp-v1-1"));
}

void TstHostQueries::compareVersions_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order");
    QTest::newRow("10.0 after 9.0") << "10.0"
                                    << "9.0" << 1;
    QTest::newRow("2.2.9 before 2.2.18") << "2.2.9"
                                         << "2.2.18" << -1;
    QTest::newRow("equal") << "1.2.0.1"
                           << "1.2.0.1" << 0;
    QTest::newRow("missing part is 0") << "1.2"
                                       << "1.2.0" << 0;
    QTest::newRow("longer is newer") << "1.2.1"
                                     << "1.2" << 1;
    QTest::newRow("text after numbers") << "1.2.beta"
                                        << "1.2.9" << 1;
    QTest::newRow("text as text") << "1.b"
                                  << "1.a" << 1;
    QTest::newRow("long numbers") << "1.123456789012345678901"
                                  << "1.99" << 1;
    QTest::newRow("leading zeros") << "1.010"
                                   << "1.9" << 1;
}

void TstHostQueries::compareVersions()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    QCOMPARE(TOnlineUpdate::compareVersions(a, b), order);
    QCOMPARE(TOnlineUpdate::compareVersions(b, a), -order);
}

QTEST_GUILESS_MAIN(TstHostQueries)
#include "tst_hostqueries.moc"
