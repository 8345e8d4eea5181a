// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"
#include "app/KeyInfoRows.h"
#include "i18n/ResStrs.h"
#include "token/TPinState.h"
#include "token/TQ7Info.h"

#include <QtTest>

using Rows = QList<KeyInfoRow>;

char* toString(const KeyInfoRow& row)
{
    return QTest::toString(row.field + QStringLiteral(" = ") + row.value);
}

namespace {
Rows pairs(std::initializer_list<std::pair<const char*, const char*>> list)
{
    Rows rows;
    for (const auto& [field, value] : list)
        rows.append({QString::fromUtf8(field), QString::fromUtf8(value)});
    return rows;
}

TQ7Info sampleToken()
{
    TQ7Info info;
    info.Label = QStringLiteral("张三的 Key");
    info.Manufacturer = QStringLiteral("Vostrel");
    info.Model = QStringLiteral("QX4100");
    info.SerialNumber = QStringLiteral("QX41000000000001");
    info.MaxPinLen = 16;
    info.MinPinLen = 6;
    info.TotalMemory = 131072;
    info.FreeMemory = 1025024;
    info.HardwareVersion = 0x0102;
    info.FirmwareVersion = 0x010A;
    return info;
}
} // namespace

class TstKeyInfoRows : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { ResStrs::resetToDefaults(); }
    void tokenRows_data();
    void tokenRows();
    void unknownCounts();
    void fingerRows_data();
    void fingerRows();

private:
    void useLanguage(const QString& file);
    TestEnv m_env;
};

void TstKeyInfoRows::useLanguage(const QString& file)
{
    ResStrs::resetToDefaults();
    if (!file.isEmpty()) {
        const QString path = m_env.appDir() + QStringLiteral("Languages/") + file;
        QVERIFY2(QFile::exists(path), qPrintable(path));
        ResStrs::load(path);
    }
}

void TstKeyInfoRows::tokenRows_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("locked");
    QTest::addColumn<Rows>("rows");

    const auto chinese = [](const char* locked) {
        return pairs({{"USBKey名称", "张三的 Key"},
                      {"生产厂商", "Vostrel"},
                      {"产品型号", "QX4100"},
                      {"序列号", "QX41000000000001"},
                      {"最大密码长度", "16"},
                      {"最小密码长度", "6"},
                      {"最大重试次数", "10"},
                      {"USBKey口令剩余重试次数", "7"},
                      {"USBKey口令是否被锁", locked},
                      {"总空间", "128 KB"},
                      {"剩余空间", "0.98 MB"},
                      {"硬件版本", "1.02"},
                      {"固件版本", "1.10"}});
    };
    QTest::newRow("Chinese, unlocked") << QString() << 0 << chinese("未锁死");
    QTest::newRow("Chinese, locked") << QString() << 1 << chinese("已锁死");
    QTest::newRow("English, locked") << QStringLiteral("EN_1033.lng") << 1
                                     << pairs({{"USB key name", "张三的 Key"},
                                               {"Manufacturer", "Vostrel"},
                                               {"Model", "QX4100"},
                                               {"Serial number", "QX41000000000001"},
                                               {"Maximum PIN length", "16"},
                                               {"Minimum PIN length", "6"},
                                               {"Maximum attempts", "10"},
                                               {"PIN attempts left", "7"},
                                               {"PIN locked", "Locked"},
                                               {"Total space", "128 KB"},
                                               {"Free space", "0.98 MB"},
                                               {"Hardware version", "1.02"},
                                               {"Firmware version", "1.10"}});
}

void TstKeyInfoRows::tokenRows()
{
    QFETCH(QString, language);
    QFETCH(int, locked);
    QFETCH(Rows, rows);
    useLanguage(language);
    TPinState pin;
    pin.MaxRetries = 10;
    pin.RetriesLeft = 7;
    pin.Locked = locked;
    QCOMPARE(keyInfoRows(sampleToken(), pin), rows);
}

// A token that does not tell its tries or its memory (a PKCS#11 token) shows them as unknown, not as -1
// or as a full token.
void TstKeyInfoRows::unknownCounts()
{
    useLanguage(QStringLiteral("EN_1033.lng"));
    TPinState pin;
    pin.MaxRetries = -1;
    pin.RetriesLeft = -1;
    TQ7Info token = sampleToken();
    token.TotalMemory = token.FreeMemory = TQ7Info::MemoryUnknown;
    const QList<KeyInfoRow> rows = keyInfoRows(token, pin);
    QCOMPARE(rows.value(6).value, QStringLiteral("unknown"));
    QCOMPARE(rows.value(7).value, QStringLiteral("unknown"));
    QCOMPARE(rows.value(9).value, QStringLiteral("unknown"));
    QCOMPARE(rows.value(10).value, QStringLiteral("unknown"));
    useLanguage(QString());
    QCOMPARE(keyInfoRows(sampleToken(), pin).value(7).value, QStringLiteral("未知"));
}

void TstKeyInfoRows::fingerRows_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<quint32>("status");
    QTest::addColumn<Rows>("rows");
    QTest::newRow("Chinese, read") << QString() << quint32(0)
                                   << pairs({{"用户指纹剩余重试次数", "5"}, {"用户指纹已录入数量", "2"}});
    QTest::newRow("Chinese, no application")
        << QString() << quint32(0x0A00002E) << pairs({{"指纹状态", "指纹未初始化"}});
    QTest::newRow("English, read") << QStringLiteral("EN_1033.lng") << quint32(0)
                                   << pairs({{"Fingerprint attempts left", "5"},
                                             {"Fingerprints enrolled", "2"}});
    QTest::newRow("English, entry missing")
        << QStringLiteral("EN_1033.lng") << quint32(0x0EEEEEEE)
        << pairs({{"Fingerprint state", "Fingerprints are not initialized"}});
}

void TstKeyInfoRows::fingerRows()
{
    QFETCH(QString, language);
    QFETCH(quint32, status);
    QFETCH(Rows, rows);
    useLanguage(language);
    QCOMPARE(fingerInfoRows(status, 5, 2), rows);
}

QTEST_GUILESS_MAIN(TstKeyInfoRows)
#include "tst_keyinforows.moc"
