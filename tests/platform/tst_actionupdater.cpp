// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"
#include "platform/ActionUpdater.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

class TestActionUpdater : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void enabledFollowsTheHandler()
    {
        QWidget page;
        auto* edit = new QLineEdit(&page);
        auto* action = new QAction(QStringLiteral("Go"), &page);
        auto* button = new QToolButton(&page);
        button->setDefaultAction(action);
        ActionUpdater::instance().add(action, [edit] { return edit->text().size() >= 4; });
        page.show();

        QTRY_VERIFY(!button->isEnabled());
        QTest::keyClicks(edit, QStringLiteral("123"));
        QTest::qWait(50);
        QVERIFY(!button->isEnabled());
        QTest::keyClicks(edit, QStringLiteral("4"));
        QTRY_VERIFY(button->isEnabled());
    }

    void runsWhenTheLoopGoesIdle()
    {
        auto context = std::make_unique<QObject>();
        int runs = 0;
        ActionUpdater::instance().add(context.get(), [&runs] { ++runs; });
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
        QVERIFY(runs > 0);
    }

    void handlerIsDroppedWithItsAction()
    {
        int runs = 0;
        auto* action = new QAction;
        ActionUpdater::instance().add(action, [&runs] {
            ++runs;
            return true;
        });
        ActionUpdater::instance().updateAll();
        QCOMPARE(runs, 1);
        delete action;
        ActionUpdater::instance().updateAll();
        QCOMPARE(runs, 1);
    }

    void handlerMayDeleteAnotherContext()
    {
        auto* victim = new QObject;
        int victimRuns = 0;
        auto killer = std::make_unique<QObject>();
        // Registered first, so it runs before the victim's handler in the same pass.
        ActionUpdater::instance().add(killer.get(), [&victim] {
            delete victim;
            victim = nullptr;
        });
        ActionUpdater::instance().add(victim, [&victimRuns] { ++victimRuns; });
        ActionUpdater::instance().updateAll();
        QCOMPARE(victimRuns, 0);
    }
};

QTEST_MAIN(TestActionUpdater)
#include "tst_actionupdater.moc"
