// SPDX-License-Identifier: BSD-3-Clause
// The fingerprint test dialog against the scriptable SKF library.
#include "FakeSkf.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "finger/TFingerTestForm.h"
#include "i18n/ResStrs.h"
#include "skf/TSkfBinding.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

Q_DECLARE_METATYPE(uint32_t)

class TstFingerTestForm : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        TestEnv env{false};
        ScriptedDialogs dialogs;
        FakeSkf fake{QStringLiteral(FAKESKF_PATH), env.appDir()};
        TSkfBinding skf{env.appDir()};
        TFingerTestForm dialog;
        QIcon enrolled = icon(Qt::blue);
        QIcon matched = icon(Qt::green);

        explicit Fixture(const TTimings& timings = testTimings()) : dialog(skf, timings)
        {
            std::array<QIcon, 10> fingers;
            fingers[4] = enrolled;
            dialog.setPictures(QPixmap(), fingers, matched);
        }
        static QIcon icon(Qt::GlobalColor colour)
        {
            QPixmap p(32, 32);
            p.fill(colour);
            return QIcon(p);
        }
        QString message() { return dialog.findChild<QLabel*>(QStringLiteral("LMsg"))->text(); }
        QPushButton* button(const char* name) { return dialog.findChild<QPushButton*>(QLatin1String(name)); }
        // Fingers showing the match marker.
        QList<int> marked()
        {
            QList<int> v;
            for (int n = 1; n <= 10; ++n)
                if (dialog.fingerButton(n)->icon().cacheKey() == matched.cacheKey())
                    v << n;
            return v;
        }
    };

private Q_SLOTS:
    void init() { ResStrs::resetToDefaults(); }

    void outcomes_data()
    {
        QTest::addColumn<uint32_t>("status");
        QTest::addColumn<uint32_t>("finger");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("marked");
        QTest::newRow("match") << SAR_OK << 5u << ResStrs::text("F_Test_OK") << QList<int>{5};
        QTest::newRow("match without a number") << SAR_OK << 0u << ResStrs::text("F_Test_OK") << QList<int>{};
        QTest::newRow("match beyond ten") << SAR_OK << 11u << ResStrs::text("F_Test_OK") << QList<int>{};
        QTest::newRow("no match") << SAR_FINGER_FAILED << 0u << ResStrs::text("F_Test_Error") << QList<int>{};
        QTest::newRow("exists") << SAR_FINGER_EXIST << 0u << ResStrs::text("P_SAR_FINGER_EXIST")
                                << QList<int>{};
        QTest::newRow("none enrolled")
            << SAR_FINGER_NOT_EXIST << 0u << ResStrs::text("P_SAR_FINGER_NOT_EXIST") << QList<int>{};
        QTest::newRow("token pulled out")
            << SAR_DEVICE_REMOVED << 0u << QStringLiteral("操作失败(0x0A000023)") << QList<int>{};
    }
    void outcomes()
    {
        QFETCH(uint32_t, status);
        QFETCH(uint32_t, finger);
        QFETCH(QString, text);
        QFETCH(QList<int>, marked);
        Fixture f;
        f.fake.push("SKF_TestFinger", SAR_FINGER_PENDING);
        f.fake.push("SKF_TestFinger", status, finger);
        f.dialog.show();
        QX_TRY_COMPARE(f.message(), text);
        QCOMPARE(f.marked(), marked);
        QVERIFY(f.button("btnTest")->isEnabled());
        QVERIFY(f.button("btnCancel")->isEnabled());
        QVERIFY(f.dialog.isVisible()); // the user closes it
    }

    void retestClearsTheMarker()
    {
        Fixture f;
        f.fake.push("SKF_TestFinger", SAR_OK, 5);
        f.dialog.show();
        QX_TRY_COMPARE(f.marked(), QList<int>{5});
        f.fake.push("SKF_TestFinger", SAR_FINGER_PENDING);
        f.fake.push("SKF_TestFinger", SAR_FINGER_FAILED);
        QTest::mouseClick(f.button("btnTest"), Qt::LeftButton);
        QCOMPARE(f.marked(), QList<int>{});
        QCOMPARE(f.dialog.fingerButton(5)->icon().cacheKey(), f.enrolled.cacheKey());
        QX_TRY_COMPARE(f.message(), ResStrs::text("F_Test_Error"));
    }

    void failedStartClosesWithAMessage_data()
    {
        QTest::addColumn<uint32_t>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("blocked") << SAR_PIN_LOCKED << ResStrs::text("P_SAR_PIN_LOCKED");
        QTest::newRow("none enrolled") << SAR_FINGER_NOT_EXIST << ResStrs::text("P_SAR_FINGER_NOT_EXIST");
        QTest::newRow("other") << SAR_FAIL << QStringLiteral("操作失败(0x0A000001)");
    }
    void failedStartClosesWithAMessage()
    {
        QFETCH(uint32_t, status);
        QFETCH(QString, text);
        Fixture f;
        f.fake.push("SKF_VerifyFingerInit", status);
        f.dialog.show();
        QX_TRY_VERIFY(!f.dialog.isVisible());
        QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
        QCOMPARE(f.dialogs.lastText(), text);
        QVERIFY(!f.fake.log().contains(QLatin1String("SKF_TestFinger")));
    }

    // A sensor that never stops asking for patience ends in a message the user can close.
    void silentSensorGivesUp()
    {
        TTimings timings = testTimings();
        timings.fingerWaitLimit = 20;
        Fixture f(timings);
        f.fake.setStatus("SKF_TestFinger", SAR_FINGER_PENDING);
        f.dialog.show();
        QX_TRY_COMPARE(f.message(), ResStrs::text("F_Wait_Timeout"));
        QVERIFY(f.button("btnCancel")->isEnabled());
        QTest::mouseClick(f.button("btnCancel"), Qt::LeftButton);
        QVERIFY(!f.dialog.isVisible());
    }
};

QTEST_MAIN(TstFingerTestForm)
#include "tst_fingertestform.moc"
