// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"
#include "app/USBPIDUnit.h"
#include "platform/VirtualTokenNotices.h"

#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(TUSB::Event)

class TstUsbNotifier : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void productIdFromPath_data();
    void productIdFromPath();
    void servedModels();
    void udevNotice_data();
    void udevNotice();
    void noticeEmitsMatchingEvent_data();
    void noticeEmitsMatchingEvent();
    void unsetEventsAreHarmless();
    void virtualNoticeFile_data();
    void virtualNoticeFile();

private:
    TestEnv m_env;
};

void TstUsbNotifier::productIdFromPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<quint32>("pid");
    QTest::newRow("served") << R"(USB\VID_5A4B&PID_4100\QX000001)" << quint32(0x4100);
    QTest::newRow("hex letters") << R"(USB\VID_5A4B&PID_ABCD\1)" << quint32(0xABCD);
    QTest::newRow("lower-case path") << R"(usb\vid_5a4b&pid_4a0f\x)" << quint32(0x4A0F);
    QTest::newRow("mixed-case marker") << R"(USB\VID_5A4B&Pid_0001\x)" << quint32(0x0001);
    QTest::newRow("interface path")
        << R"(\\?\USB#VID_5A4B&PID_4102#SN#{A5DCBF10-6530-11D2-901F-00C04FB951ED})" << quint32(0x4102);
    QTest::newRow("no marker") << R"(USB\VID_5A4B\QX000001)" << quint32(0);
    QTest::newRow("empty") << QString() << quint32(0);
    QTest::newRow("marker at end") << R"(USB\VID_5A4B&PID_)" << quint32(0);
    QTest::newRow("three digits only") << R"(USB\VID_5A4B&PID_410)" << quint32(0);
    QTest::newRow("non-hex digit") << R"(USB\VID_5A4B&PID_41G0\x)" << quint32(0);
    QTest::newRow("sign is not a digit") << R"(USB\VID_5A4B&PID_-410\x)" << quint32(0);
    QTest::newRow("blank inside") << R"(USB\VID_5A4B&PID_41 0\x)" << quint32(0);
    QTest::newRow("0x prefix") << R"(USB\VID_5A4B&PID_0x41\x)" << quint32(0);
    QTest::newRow("full-width digits")
        << QString::fromUtf8("USB\\PID_\xEF\xBC\x94\xEF\xBC\x91\xEF\xBC\x90\xEF\xBC\x90") << quint32(0);
    QTest::newRow("first marker counts") << R"(USB\PID_ZZZZ&PID_4100)" << quint32(0);
}

void TstUsbNotifier::productIdFromPath()
{
    QFETCH(QString, path);
    QFETCH(quint32, pid);
    QCOMPARE(productIdFromDevicePath(path), pid);
}

void TstUsbNotifier::servedModels()
{
    for (const quint32 pid : ServedProductIds)
        QVERIFY(isServedProductId(pid));
    QVERIFY(!isServedProductId(0));
    QVERIFY(!isServedProductId(0x1234));
}

void TstUsbNotifier::udevNotice_data()
{
    QTest::addColumn<QByteArray>("action");
    QTest::addColumn<QByteArray>("devType");
    QTest::addColumn<QByteArray>("product");
    QTest::addColumn<QByteArray>("serial");
    QTest::addColumn<bool>("isNotice");
    QTest::addColumn<TUSB::Event>("event");
    QTest::addColumn<QString>("path");

    QTest::newRow("add") << QByteArray("add") << QByteArray("usb_device") << QByteArray("5a4b/4100/100")
                         << QByteArray("QX1") << true << TUSB::Event::Arrival
                         << R"(USB\VID_5A4B&PID_4100\QX1)";
    QTest::newRow("remove, unpadded ids")
        << QByteArray("remove") << QByteArray("usb_device") << QByteArray("1d6b/2/606") << QByteArray()
        << true << TUSB::Event::Removal << R"(USB\VID_1D6B&PID_0002\)";
    QTest::newRow("no product") << QByteArray("add") << QByteArray("usb_device") << QByteArray()
                                << QByteArray("S") << true << TUSB::Event::Arrival << R"(USB\\S)";
    QTest::newRow("product out of range")
        << QByteArray("add") << QByteArray("usb_device") << QByteArray("5a4b/14100/1") << QByteArray("S")
        << true << TUSB::Event::Arrival << R"(USB\\S)";
    QTest::newRow("interface") << QByteArray("add") << QByteArray("usb_interface")
                               << QByteArray("5a4b/4100/1") << QByteArray() << false << TUSB::Event::Arrival
                               << QString();
    QTest::newRow("bind") << QByteArray("bind") << QByteArray("usb_device") << QByteArray("5a4b/4100/1")
                          << QByteArray() << false << TUSB::Event::Arrival << QString();
    QTest::newRow("change") << QByteArray("change") << QByteArray("usb_device") << QByteArray("5a4b/4100/1")
                            << QByteArray() << false << TUSB::Event::Arrival << QString();
    QTest::newRow("no devtype") << QByteArray("add") << QByteArray() << QByteArray("5a4b/4100/1")
                                << QByteArray() << false << TUSB::Event::Arrival << QString();
}

void TstUsbNotifier::udevNotice()
{
    QFETCH(QByteArray, action);
    QFETCH(QByteArray, devType);
    QFETCH(QByteArray, product);
    QFETCH(QByteArray, serial);
    QFETCH(bool, isNotice);
    QFETCH(TUSB::Event, event);
    QFETCH(QString, path);
    auto cstr = [](const QByteArray& b) { return b.isNull() ? nullptr : b.constData(); };
    const auto notice = TUSB::noticeFromUdev(cstr(action), cstr(devType), cstr(product), cstr(serial));
    QCOMPARE(notice.has_value(), isNotice);
    if (notice) {
        QCOMPARE(notice->event, event);
        QCOMPARE(notice->devicePath, path);
    }
}

void TstUsbNotifier::noticeEmitsMatchingEvent_data()
{
    QTest::addColumn<TUSB::Event>("event");
    QTest::addColumn<QString>("path");
    QTest::addColumn<quint32>("pid");
    QTest::newRow("arrival") << TUSB::Event::Arrival << R"(USB\VID_5A4B&PID_4101\A)" << quint32(0x4101);
    QTest::newRow("removal") << TUSB::Event::Removal << R"(USB\VID_5A4B&PID_4103\A)" << quint32(0x4103);
    QTest::newRow("arrival without product") << TUSB::Event::Arrival << R"(USB\VID_5A4B\A)" << quint32(0);
}

void TstUsbNotifier::noticeEmitsMatchingEvent()
{
    QFETCH(TUSB::Event, event);
    QFETCH(QString, path);
    QFETCH(quint32, pid);
    TUSB usb;
    quint32 seenPid = 0xFFFFFFFF;
    QSignalSpy arrived(&usb, &TUSB::arrived);
    QSignalSpy removed(&usb, &TUSB::removed);
    // The product ID must already be set when the event runs.
    auto record = [&](TUSB* n) { seenPid = n->productId(); };
    connect(&usb, &TUSB::arrived, this, record);
    connect(&usb, &TUSB::removed, this, record);

    usb.deviceChanged(TUSB::Event::Arrival, R"(USB\VID_5A4B&PID_4102\OLD)");
    arrived.clear();
    usb.deviceChanged(event, path);

    QCOMPARE(arrived.count(), event == TUSB::Event::Arrival ? 1 : 0);
    QCOMPARE(removed.count(), event == TUSB::Event::Removal ? 1 : 0);
    QCOMPARE(seenPid, pid);
    QCOMPARE(usb.productId(), pid);
}

void TstUsbNotifier::unsetEventsAreHarmless()
{
    TUSB usb;
    QCOMPARE(usb.productId(), quint32(0));
    usb.deviceChanged(TUSB::Event::Removal, R"(USB\VID_5A4B&PID_4100\A)");
    QCOMPARE(usb.productId(), quint32(0x4100));
}

QTEST_GUILESS_MAIN(TstUsbNotifier)
#include "tst_usbnotifier.moc"

// The virtual tokens' notice file, written here in its documented form rather than by the store.
void TstUsbNotifier::virtualNoticeFile_data()
{
    QTest::addColumn<QByteArray>("before");  // in the file when the reader starts: never reported
    QTest::addColumn<QByteArray>("written"); // appended afterwards
    QTest::addColumn<QStringList>("seen");   // "+path" arrival, "-path" removal

    const QByteArray a = R"(USB\VID_5A4B&PID_4100\QX1)";
    const QByteArray b = R"(USB\VID_5A4B&PID_4101\QX2)";
    QTest::newRow("arrival and removal") << QByteArray() << "arrived " + a + "\nremoved " + b + "\n"
                                         << QStringList{"+" + a, "-" + b};
    QTest::newRow("only what comes after the start") << "arrived " + b + "\n"
                                                     << "arrived " + a + "\n"
                                                     << QStringList{"+" + a};
    QTest::newRow("a line still being written waits")
        << QByteArray() << "arrived " + a + "\nremoved " + a << QStringList{"+" + a};
    QTest::newRow("malformed lines are skipped")
        << QByteArray()
        << "plugged " + a + "\narrived\n \narrived \n" + QByteArray(2000, 'x') + "\nremoved " + b + "\n"
        << QStringList{"-" + b};
    QTest::newRow("a file cut back is read from its start") << QByteArray(600, '#') + "\n"
                                                            << "removed " + a + "\n"
                                                            << QStringList{"-" + a};
}

void TstUsbNotifier::virtualNoticeFile()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, written);
    QFETCH(QStringList, seen);

    const QString folder =
        m_env.path(QStringLiteral("notices-") + QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(QDir().mkpath(folder));
    QFile file(VirtualTokenNotices::noticesPath(folder));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(before);
    file.close();

    VirtualTokenNotices notices(folder, 1);
    QStringList got;
    connect(&notices, &VirtualTokenNotices::arrived, this, [&](const QString& p) { got << "+" + p; });
    connect(&notices, &VirtualTokenNotices::removed, this, [&](const QString& p) { got << "-" + p; });

    const bool cutBack = QByteArray(QTest::currentDataTag()).contains("cut back");
    QVERIFY(file.open(cutBack ? (QIODevice::WriteOnly | QIODevice::Truncate) : QIODevice::Append));
    file.write(written);
    file.close();
    QTRY_COMPARE_WITH_TIMEOUT(got, seen, 5000);
    // Nothing more arrives later from the same bytes.
    notices.readNew();
    QCOMPARE(got, seen);
}
