// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"
#include "app/SizeText.h"
#include "app/VersionText.h"

#include <QtTest>

class TstInfoTexts : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void sizeText_data();
    void sizeText();
    void versionText_data();
    void versionText();

private:
    TestEnv m_env;
};

void TstInfoTexts::sizeText_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << "0 KB";
    QTest::newRow("below half a KB") << qint64(511) << "0 KB";
    QTest::newRow("half a KB ties to even 0") << qint64(512) << "0 KB";
    QTest::newRow("just above half") << qint64(513) << "1 KB";
    QTest::newRow("1.5 KB ties to even 2") << qint64(1536) << "2 KB";
    QTest::newRow("2.5 KB ties to even 2") << qint64(2560) << "2 KB";
    QTest::newRow("3.5 KB ties to even 4") << qint64(3584) << "4 KB";
    QTest::newRow("1000 KB stays in KB") << qint64(1024000) << "1000 KB";
    QTest::newRow("rounds to 1000 KB") << qint64(1024000 + 511) << "1000 KB";
    QTest::newRow("1001 KB switches to MB") << qint64(1025024) << "0.98 MB";
    QTest::newRow("1024 KB") << qint64(1048576) << "1.00 MB";
    QTest::newRow("64 MB") << qint64(64) * 1024 * 1024 << "64.00 MB";
    QTest::newRow("largest 32-bit") << qint64(2147483647) << "2048.00 MB";
    QTest::newRow("negative rounds to zero") << qint64(-100) << "0 KB";
}

void TstInfoTexts::sizeText()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(SizeText(bytes), text);
}

void TstInfoTexts::versionText_data()
{
    QTest::addColumn<qint32>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("0x010A") << qint32(0x010A) << "1.10";
    QTest::newRow("0x0102") << qint32(0x0102) << "1.02";
    QTest::newRow("258") << qint32(258) << "1.02";
    QTest::newRow("266") << qint32(266) << "1.10";
    QTest::newRow("zero") << qint32(0) << "0.00";
    QTest::newRow("minor 255") << qint32(0x02FF) << "2.255";
    QTest::newRow("major above 9") << qint32(0x0C05) << "12.05";
}

void TstInfoTexts::versionText()
{
    QFETCH(qint32, value);
    QFETCH(QString, text);
    QCOMPARE(VersionText(value), text);
}

QTEST_GUILESS_MAIN(TstInfoTexts)
#include "tst_infotexts.moc"
