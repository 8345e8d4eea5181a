// The enrollment dialog against the scriptable SKF library.
#include "FakeSkf.h"
#include "TestEnv.h"
#include "finger/TFingerInputForm.h"
#include "finger/TSkfBinding.h"
#include "i18n/ResStrs.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using Replies = QList<QPair<uint32_t, uint32_t>>; // status, progress
Q_DECLARE_METATYPE(Replies)
Q_DECLARE_METATYPE(uint32_t)

class TstFingerInputForm : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        TestEnv env{false};
        FakeSkf fake{QStringLiteral(FAKESKF_PATH), env.appDir()};
        TSkfBinding skf{env.appDir()};
        TFingerInputForm dialog{skf};
        QSignalSpy bar{dialog.findChild<QProgressBar*>(QStringLiteral("PB")), &QProgressBar::valueChanged};

        Fixture()
        {
            dialog.setFingerNumber(3);
            dialog.setPinType(SKF_ADMIN_TYPE);
        }
        QLabel* message() { return dialog.findChild<QLabel*>(QStringLiteral("LMsg")); }
        QPushButton* button(const char* name) { return dialog.findChild<QPushButton*>(QLatin1String(name)); }
        QTimer* closer() { return dialog.findChild<QTimer*>(QStringLiteral("TClose")); }
        QList<int> barSteps()
        {
            QList<int> v;
            for (const QList<QVariant>& args : bar)
                v << args.at(0).toInt();
            return v;
        }
    };

private Q_SLOTS:
    void outcomes_data()
    {
        QTest::addColumn<Replies>("replies");
        QTest::addColumn<QList<int>>("steps");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("retry");     // btnRun enabled afterwards
        QTest::addColumn<bool>("countdown"); // closes by itself
        const uint32_t P = SAR_FINGER_PENDING;
        QTest::newRow("stored") << Replies{{P, 10}, {P, 10}, {P, 20}, {P, 50}, {SAR_OK, 50}}
                                << QList<int>{1, 2, 3} << ResStrs::text("F_Input_OK") << false << true;
        QTest::newRow("capture failed") << Replies{{P, 10}, {SAR_FINGER_FAILED, 10}} << QList<int>{1, 3}
                                        << ResStrs::text("F_Input_Error") << true << false;
        QTest::newRow("already enrolled") << Replies{{SAR_FINGER_EXIST, 0}} << QList<int>{3}
                                          << ResStrs::text("F_Input_Exist") << false << true;
        QTest::newRow("other failure") << Replies{{SAR_DEVICE_REMOVED, 0}} << QList<int>{3}
                                       << QStringLiteral("操作失败(0x0A000023)") << false << true;
    }
    void outcomes()
    {
        QFETCH(Replies, replies);
        QFETCH(QList<int>, steps);
        QFETCH(QString, text);
        QFETCH(bool, retry);
        QFETCH(bool, countdown);
        Fixture f;
        for (const auto& [status, progress] : replies)
            f.fake.push("SKF_EnrollFinger", status, progress);
        f.dialog.show();
        QVERIFY(!f.button("btnCancel")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(f.message()->text(), text, 5000);
        QCOMPARE(f.barSteps(), steps);
        QCOMPARE(f.button("btnRun")->isEnabled(), retry);
        QVERIFY(f.button("btnCancel")->isEnabled());
        QCOMPARE(f.closer()->isActive(), countdown);
        QVERIFY(f.fake.log().contains(QLatin1String("SKF_EnrollFingerInit(null,0,3)")));
    }

    void failedStartCountsDownAndCloses_data()
    {
        QTest::addColumn<uint32_t>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("not logged in") << SAR_USER_NOT_LOGGED_IN << ResStrs::text("P_SAR_USER_NOT_LOGGED_IN");
        QTest::newRow("not initialized")
            << SAR_APPLICATION_NOT_EXISTS << ResStrs::text("P_SAR_APPLICATION_NOT_EXISTS");
    }
    void failedStartCountsDownAndCloses()
    {
        QFETCH(uint32_t, status);
        QFETCH(QString, text);
        Fixture f;
        f.fake.push("SKF_EnrollFingerInit", status);
        f.dialog.show();
        QTRY_COMPARE_WITH_TIMEOUT(f.message()->text(), text, 5000);
        QVERIFY(!f.button("btnRun")->isEnabled());
        QVERIFY(f.barSteps().isEmpty());
        QVERIFY(!f.fake.log().contains(QLatin1String("SKF_EnrollFinger(")));
        QTRY_COMPARE_WITH_TIMEOUT(f.button("btnCancel")->text(),
                                  ResStrs::text("P_Btn_Close") + QStringLiteral("(5)"), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(f.button("btnCancel")->text(),
                                  ResStrs::text("P_Btn_Close") + QStringLiteral("(1)"), 6000);
        QVERIFY(f.dialog.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!f.dialog.isVisible(), 3000);
        QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
    }

    void retryAfterFailedCapture()
    {
        Fixture f;
        f.fake.push("SKF_EnrollFinger", SAR_FINGER_FAILED, 0);
        f.dialog.show();
        QTRY_COMPARE_WITH_TIMEOUT(f.message()->text(), ResStrs::text("F_Input_Error"), 5000);
        QVERIFY(!f.closer()->isActive()); // waits for the user
        f.fake.push("SKF_EnrollFinger", SAR_OK, 1);
        QTest::mouseClick(f.button("btnRun"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(f.message()->text(), ResStrs::text("F_Input_OK"), 5000);
        QVERIFY(f.closer()->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(f.button("btnCancel")->text(),
                                  ResStrs::text("P_Btn_Close") + QStringLiteral("(5)"), 3000);
        QTest::mouseClick(f.button("btnCancel"), Qt::LeftButton);
        QVERIFY(!f.dialog.isVisible());
        QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
    }

    void escapeDoesNotEndACapture()
    {
        Fixture f;
        for (int i = 0; i < 10; ++i)
            f.fake.push("SKF_EnrollFinger", SAR_FINGER_PENDING, uint32_t(i));
        f.fake.push("SKF_EnrollFinger", SAR_OK, 10);
        // Escape arrives while the dialog is polling (from a second after it is shown, for two seconds).
        bool capturing = false;
        bool stillOpen = false;
        QTimer::singleShot(1500, &f.dialog, [&] {
            capturing = !f.barSteps().isEmpty() && !f.button("btnCancel")->isEnabled();
            QTest::keyClick(&f.dialog, Qt::Key_Escape);
            stillOpen = f.dialog.isVisible();
        });
        f.dialog.show();
        QTRY_VERIFY_WITH_TIMEOUT(capturing, 5000);
        QVERIFY(stillOpen);
        QTRY_COMPARE_WITH_TIMEOUT(f.message()->text(), ResStrs::text("F_Input_OK"), 5000);
    }
};

QTEST_MAIN(TstFingerInputForm)
#include "tst_fingerinputform.moc"
