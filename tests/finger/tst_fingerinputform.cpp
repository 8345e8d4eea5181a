// SPDX-License-Identifier: BSD-3-Clause
// The enrollment dialog against the scriptable SKF library.
#include "FakeSkf.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "finger/TFingerInputForm.h"
#include "i18n/ResStrs.h"
#include "skf/TSkfBinding.h"

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
        TFingerInputForm dialog;
        QSignalSpy bar{dialog.findChild<QProgressBar*>(QStringLiteral("PB")), &QProgressBar::valueChanged};
        // The close button's caption after each tick of the closing countdown.
        QStringList closeTexts;

        explicit Fixture(const TTimings& timings = testTimings()) : dialog(skf, timings)
        {
            dialog.setFingerNumber(3);
            dialog.setPinType(SKF_ADMIN_TYPE);
            QObject::connect(closer(), &QTimer::timeout, &dialog,
                             [this] { closeTexts << button("btnCancel")->text(); });
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
        QTRY_COMPARE(f.message()->text(), text);
        QCOMPARE(f.barSteps(), steps);
        QCOMPARE(f.button("btnRun")->isEnabled(), retry);
        QVERIFY(f.button("btnCancel")->isEnabled());
        if (countdown) {
            QTRY_VERIFY(!f.dialog.isVisible());
            QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
        } else {
            QVERIFY(!f.closer()->isActive());
            QVERIFY(f.dialog.isVisible());
        }
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
        QTRY_COMPARE(f.message()->text(), text);
        QVERIFY(!f.button("btnRun")->isEnabled());
        QVERIFY(f.barSteps().isEmpty());
        QVERIFY(!f.fake.log().contains(QLatin1String("SKF_EnrollFinger(")));
        QTRY_VERIFY(!f.dialog.isVisible());
        QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
        // Five counted steps, then the tick that closes it.
        QStringList counted;
        for (int n = 5; n >= 1; --n)
            counted << ResStrs::text("P_Btn_Close") + QStringLiteral("(%1)").arg(n);
        QCOMPARE(f.closeTexts, counted << counted.last());
    }

    void retryAfterFailedCapture()
    {
        // A countdown too slow to end by itself: the user closes the dialog during it.
        TTimings timings = testTimings();
        timings.enrollCloseStep = 60 * 60 * 1000;
        Fixture f(timings);
        f.fake.push("SKF_EnrollFinger", SAR_FINGER_FAILED, 0);
        f.dialog.show();
        QTRY_COMPARE(f.message()->text(), ResStrs::text("F_Input_Error"));
        QVERIFY(!f.closer()->isActive()); // waits for the user
        f.fake.push("SKF_EnrollFinger", SAR_OK, 1);
        QTest::mouseClick(f.button("btnRun"), Qt::LeftButton);
        QTRY_COMPARE(f.message()->text(), ResStrs::text("F_Input_OK"));
        QVERIFY(f.closer()->isActive());
        QTest::mouseClick(f.button("btnCancel"), Qt::LeftButton);
        QVERIFY(!f.dialog.isVisible());
        QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
    }

    // A sensor that stays pending ends the capture with a message; the user may retry or close.
    void silentSensorGivesUp()
    {
        TTimings timings = testTimings();
        timings.fingerWaitLimit = 20;
        Fixture f(timings);
        f.fake.setStatus("SKF_EnrollFinger", SAR_FINGER_PENDING);
        f.dialog.show();
        QTRY_COMPARE(f.message()->text(), ResStrs::text("F_Wait_Timeout"));
        QVERIFY(f.button("btnRun")->isEnabled());
        QVERIFY(f.button("btnCancel")->isEnabled());
        QTest::mouseClick(f.button("btnCancel"), Qt::LeftButton);
        QVERIFY(!f.dialog.isVisible());
    }

    void escapeDoesNotEndACapture()
    {
        TTimings timings = testTimings();
        timings.enrollPoll = 10; // a capture of a few hundred milliseconds
        Fixture f(timings);
        for (int i = 0; i < 30; ++i)
            f.fake.push("SKF_EnrollFinger", SAR_FINGER_PENDING, uint32_t(i));
        f.fake.push("SKF_EnrollFinger", SAR_OK, 30);
        f.dialog.show();
        QTRY_VERIFY(!f.barSteps().isEmpty() && !f.button("btnCancel")->isEnabled());
        QTest::keyClick(&f.dialog, Qt::Key_Escape);
        QVERIFY(f.dialog.isVisible());
        QTRY_COMPARE(f.message()->text(), ResStrs::text("F_Input_OK"));
    }
};

QTEST_MAIN(TstFingerInputForm)
#include "tst_fingerinputform.moc"
