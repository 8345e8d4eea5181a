// SPDX-License-Identifier: BSD-3-Clause
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "app/PageTable.h"
#include "app/TAboutPage.h"
#include "app/TKeyInfoPage.h"
#include "certs/TCertPage.h"
#include "finger/TFingerPage.h"
#include "finger/TFingerPicturesPage.h"
#include "pinadmin/TInitPage.h"
#include "pinadmin/TIsoPage.h"
#include "pinadmin/TKeyLabelPage.h"
#include "pinadmin/TLoginPage.h"
#include "pinadmin/TRemoteUnlockPage.h"
#include "pinadmin/TSoLoginPage.h"
#include "pinadmin/TSoPinPage.h"
#include "pinadmin/TUnlockPage.h"
#include "pinadmin/TUserPinPage.h"
#include "sysinfo/TSystemInfoPage.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

// The page control area of the main window: what is left of the 674 x 432 client area beside the
// 220-pixel tree and below the 85-pixel banner.
static const QSize kPageArea(454, 347);

// All the pages, as the main window holds them.
class PageHost
{
public:
    PageHost()
    {
        stack.setFixedSize(kPageArea);
        for (const PageTable::Entry& entry : PageTable::entries())
            stack.addWidget(entry.make(state));
    }

    QWidget* page(const QString& name) const { return stack.findChild<QWidget*>(name); }

    // Shows the page as the page control would and waits until it is on screen.
    bool show(QWidget* page)
    {
        stack.setCurrentWidget(page);
        stack.show();
        return QTest::qWaitForWindowExposed(&stack);
    }

    TProgramState state;
    QStackedWidget stack;
};

class TestPages : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void entryFields_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<bool>("masked");
        QTest::addColumn<QString>("text");

        // clang-format off
        QTest::newRow("login PIN") << "TabSheet4" << "edtUPIN" << 16 << true << "";
        QTest::newRow("old PIN") << "TabSheet2" << "edtOldUPin" << 16 << true << "";
        QTest::newRow("new PIN") << "TabSheet2" << "edtNewUPin1" << 16 << true << "";
        QTest::newRow("confirm PIN") << "TabSheet2" << "edtNewUPin2" << 16 << true << "";
        QTest::newRow("key label") << "TabSheet3" << "edtKeyName" << 31 << false << "";
        QTest::newRow("init label") << "TabSheet8" << "edtInit_KeyName" << 31 << false << "QX4100";
        QTest::newRow("init maker") << "TabSheet8" << "edtInit_GS" << 32 << false << "Vostrel";
        QTest::newRow("init issuer") << "TabSheet8" << "edtInit_UnLockPIN" << 32 << false << "Vostrel";
        QTest::newRow("init SO PIN in clear") << "TabSheet8" << "edtInit_SPIN" << 16 << false << "qzrbn";
        QTest::newRow("init user PIN in clear") << "TabSheet8" << "edtInit_UPIN" << 16 << false << "58203164";
        QTest::newRow("SO PIN") << "TabSheet9" << "edtSPIN" << 16 << true << "";
        QTest::newRow("new SO PIN") << "TabSheet9" << "edtNewSPIN1" << 16 << true << "";
        QTest::newRow("confirm SO PIN") << "TabSheet9" << "edtNewSPIN2" << 16 << true << "";
        QTest::newRow("unlock SO PIN") << "TabSheet10" << "edtSPINForUnLock" << 16 << true << "";
        QTest::newRow("unlock new PIN") << "TabSheet10" << "edtUPINForUnlock1" << 16 << true << "";
        QTest::newRow("unlock confirm") << "TabSheet10" << "edtUPINForUnlock2" << 16 << true << "";
        QTest::newRow("ISO PIN") << "TabSheet11" << "edtUPINForDownISO" << 16 << true << "";
        QTest::newRow("ISO path") << "TabSheet11" << "edtPath" << 32767 << false << "";
        QTest::newRow("admin SO PIN") << "TabSheet18" << "edtFingerSPIN" << 16 << true << "";
        // clang-format on
    }
    void entryFields()
    {
        QFETCH(QString, page);
        QFETCH(QString, field);
        QFETCH(int, maxLength);
        QFETCH(bool, masked);
        QFETCH(QString, text);

        PageHost host;
        auto* edit = host.page(page)->findChild<QLineEdit*>(field);
        QVERIFY(edit);
        QCOMPARE(edit->maxLength(), maxLength);
        QCOMPARE(edit->echoMode() == QLineEdit::Password, masked);
        QCOMPARE(edit->text(), text);
        QVERIFY(!edit->isReadOnly());

        // What the user types is cut at the field's capacity.
        edit->clear();
        QTest::keyClicks(edit, QString(maxLength == 32767 ? 40 : maxLength + 5, QLatin1Char('7')));
        QCOMPARE(edit->text().size(), maxLength == 32767 ? 40 : maxLength);
        // A masked field shows one asterisk per character.
        if (masked)
            QCOMPARE(edit->displayText(), QString(maxLength, QLatin1Char('*')));
    }

    void spinFields_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("value");

        // clang-format off
        QTest::newRow("SO PIN min") << "edtInit_SOPINlenMin" << 4 << 16 << 4;
        QTest::newRow("SO PIN max") << "edtInit_SOPINlenMax" << 4 << 16 << 16;
        QTest::newRow("SO PIN tries") << "edtInit_MaxCount_SOPIN" << 1 << 15 << 10;
        QTest::newRow("PIN min") << "edtInit_PINlenMin" << 4 << 16 << 4;
        QTest::newRow("PIN max") << "edtInit_PINLenMax" << 4 << 16 << 16;
        QTest::newRow("PIN tries") << "edtInit_MaxCount" << 1 << 15 << 10;
        QTest::newRow("admin finger tries") << "edtInit_SOPINTry" << 1 << 15 << 10;
        QTest::newRow("admin finger level") << "edtInit_SOPINLeve" << 1 << 3 << 1;
        QTest::newRow("user finger tries") << "edtInit_UPINTry" << 1 << 15 << 10;
        QTest::newRow("user finger level") << "edtInit_UPINLeve" << 1 << 3 << 1;
        // clang-format on
    }
    void spinFields()
    {
        QFETCH(QString, field);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(int, value);

        PageHost host;
        auto* spin = host.page("TabSheet8")->findChild<QSpinBox*>(field);
        QVERIFY(spin);
        QCOMPARE(spin->minimum(), minimum);
        QCOMPARE(spin->maximum(), maximum);
        QCOMPARE(spin->value(), value);
        auto* range = spin->parentWidget()->findChild<QLabel*>(field + "_Range");
        QVERIFY(range);
        QCOMPARE(range->text(), QStringLiteral("(%1--%2)").arg(minimum).arg(maximum));
        // A value set from outside is held inside the range at once.
        spin->setValue(maximum + 7);
        QCOMPARE(spin->value(), maximum);
    }

    void initInnerPages()
    {
        PageHost host;
        auto* pc = host.page("TabSheet8")->findChild<QTabWidget*>("PCInit");
        QVERIFY(pc);
        QCOMPARE(pc->count(), 4);
        const QStringList tabs = {"TabSheet12", "TabSheet13", "TabSheet14", "TabSheet19"};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(pc->widget(i)->objectName(), tabs.at(i));
        auto* page = qobject_cast<TInitPage*>(host.page("TabSheet8"));
        QCOMPARE(page->pageControl(), pc);
        page->setKeyName("Token A");
        QCOMPARE(page->findChild<QLineEdit*>("edtInit_KeyName")->text(), QStringLiteral("Token A"));
    }

    // Every action belongs to the page that uses it, and its button shows what the action says.
    void actionButtons_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("actionName");
        QTest::addColumn<QString>("buttonName");

        // clang-format off
        QTest::newRow("key refresh") << "TabSheet1" << "AcFindKeyRefresh" << "Button7";
        QTest::newRow("set user PIN") << "TabSheet2" << "AcSetUserPIN" << "btnOK";
        QTest::newRow("set label") << "TabSheet3" << "AcSetKeyName" << "RzButton1";
        QTest::newRow("login") << "TabSheet4" << "AcLogin" << "btnlogon";
        QTest::newRow("cancel login") << "TabSheet4" << "AcCancel" << "RzButton3";
        QTest::newRow("finger logon") << "TabSheet4" << "AcFingerlogon" << "Button20";
        QTest::newRow("cert refresh") << "TabSheet5" << "Acrefresh" << "btnCertRefresh";
        QTest::newRow("view cert") << "TabSheet5" << "AcListCert" << "btnListCert";
        QTest::newRow("register") << "TabSheet5" << "AcRegCert" << "btnRegCert";
        QTest::newRow("import") << "TabSheet5" << "AcInputCert" << "btnInputCert";
        QTest::newRow("logout") << "TabSheet5" << "Aclogout" << "Button9";
        QTest::newRow("export") << "TabSheet5" << "AcOutput" << "btnOutput";
        QTest::newRow("unregister") << "TabSheet5" << "AcUnRegCert" << "btnUnRegCert";
        QTest::newRow("delete container") << "TabSheet5" << "AcDel" << "btnDel";
        QTest::newRow("re-check") << "TabSheet6" << "AcMore" << "btnMore";
        QTest::newRow("save report") << "TabSheet6" << "AcSave" << "btnSave";
        QTest::newRow("update") << "TabSheet6" << "AcUpdate" << "btnUpdate";
        QTest::newRow("initialize") << "TabSheet8" << "AcInit" << "Button14";
        QTest::newRow("set SO PIN") << "TabSheet9" << "AcSetSOPIN" << "Button10";
        QTest::newRow("unlock") << "TabSheet10" << "AcUnlock" << "Button11";
        QTest::newRow("write ISO") << "TabSheet11" << "AcDownISO" << "Button8";
        QTest::newRow("finger test") << "TabSheet15" << "AcFingerTest" << "btnFingerTest";
        QTest::newRow("finger unlock") << "TabSheet15" << "AcFingerUnlock" << "btnFingerUnlock";
        QTest::newRow("finger delete") << "TabSheet15" << "AcFingerDel" << "btnFingerDel";
        QTest::newRow("admin login") << "TabSheet18" << "AcFinger_SOPIN_Login" << "RzButton2";
        QTest::newRow("admin cancel") << "TabSheet18" << "AcFingerLoginCancel" << "RzButton4";
        QTest::newRow("admin finger login") << "TabSheet18" << "AcFinger_SOPINFinger_Login" << "Button21";
        QTest::newRow("challenge") << "TabSheet20" << "AcRequest" << "Button22";
        QTest::newRow("remote unlock") << "TabSheet20" << "AcRemoteUnLock" << "Button23";
        // clang-format on
    }
    void actionButtons()
    {
        QFETCH(QString, page);
        QFETCH(QString, actionName);
        QFETCH(QString, buttonName);

        // A click runs the action's handler: keep it off the real home folder and the real dialogs.
        TestEnv env;
        ScriptedDialogs dialogs;
        PageHost host;
        QVERIFY(host.show(host.page(page)));

        auto* action = host.stack.findChild<QAction*>(actionName);
        QVERIFY(action);
        QCOMPARE(action->parent(), host.page(page));
        QCOMPARE(host.stack.findChildren<QAction*>(actionName).size(), 1);
        auto* button = host.page(page)->findChild<TActionButton*>(buttonName);
        QVERIFY(button);
        QCOMPARE(button->action(), action);
        QVERIFY(button->isVisible());

        action->setText(QStringLiteral("登录(&L)"));
        QCOMPARE(button->text(), QStringLiteral("登录(&L)"));

        // Without a token a page may hold its action back; the binding is what is tested here.
        action->setEnabled(true);
        QSignalSpy triggered(action, &QAction::triggered);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(triggered.size(), 1);

        action->setEnabled(false);
        QVERIFY(!button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(triggered.size(), 1);
        action->setEnabled(true);
        QVERIFY(button->isEnabled());

        action->setVisible(false);
        QVERIFY(!button->isVisible());
        action->setVisible(true);
        QVERIFY(button->isVisible());
    }

    void hiddenActionHidesButtonBeforeFirstShow()
    {
        PageHost host;
        host.stack.findChild<QAction*>("AcOutput")->setVisible(false);
        QVERIFY(host.show(host.page("TabSheet5")));
        QVERIFY(!host.page("TabSheet5")->findChild<QWidget*>("btnOutput")->isVisible());
        QVERIFY(host.page("TabSheet5")->findChild<QWidget*>("btnListCert")->isVisible());
    }

    void certPage()
    {
        PageHost host;
        QWidget* page = host.page("TabSheet5");
        auto* tree = page->findChild<QTreeWidget*>("tvCert");
        QVERIFY(tree);
        QCOMPARE(tree->indentation(), 19);
        QCOMPARE(tree->editTriggers(), QAbstractItemView::NoEditTriggers);
        auto* bar = page->findChild<QProgressBar*>("PBCert");
        QVERIFY(bar);
        QVERIFY(bar->isHidden());
        auto* menu = page->findChild<QMenu*>("PMCertInfo");
        QVERIFY(menu);
        QStringList items;
        for (QAction* a : menu->actions())
            items << a->objectName();
        QCOMPARE(items, QStringList({"AcListCert", "AcOutput", "AcDel", "AcDelCert"}));
    }

    void reportLists_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("width1");
        QTest::addColumn<int>("width2");

        // clang-format off
        // The key information list's field column fits the longest English field name.
        QTest::newRow("key information") << "TabSheet1" << "lv" << 170 << 225;
        QTest::newRow("system report") << "TabSheet6" << "LVSystemInfo" << 150 << 240;
        // clang-format on
    }
    void reportLists()
    {
        QFETCH(QString, page);
        QFETCH(QString, list);
        QFETCH(int, width1);
        QFETCH(int, width2);

        PageHost host;
        auto* lv = host.page(page)->findChild<QTableWidget*>(list);
        QVERIFY(lv);
        QCOMPARE(lv->columnCount(), 2);
        QCOMPARE(lv->columnWidth(0), width1);
        QCOMPARE(lv->columnWidth(1), width2);
        QVERIFY(lv->showGrid());
        QCOMPARE(lv->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(lv->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(lv->verticalHeader()->isHidden());
    }

    void fingerButtons()
    {
        PageHost host;
        auto* page = qobject_cast<TFingerPage*>(host.page("TabSheet15"));
        QVERIFY(page->findChild<QAction*>("AcFingerInput"));
        for (int n = 1; n <= 10; ++n) {
            auto* b = page->findChild<QToolButton*>(QStringLiteral("SpeedButton%1").arg(n));
            QVERIFY(b);
            QCOMPARE(page->fingerButton(n), b);
            QCOMPARE(b->property("Tag").toInt(), n);
        }
        QVERIFY(!page->fingerButton(0));
        QVERIFY(!page->fingerButton(11));
        auto* pc = page->findChild<QTabWidget*>("PCFinger");
        QCOMPARE(pc->count(), 1);
        QCOMPARE(pc->widget(0)->objectName(), QStringLiteral("TabSheet16"));
        QVERIFY(pc->findChild<QLabel*>("Imghand"));
    }

    void keyNameLabels_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("label");

        // clang-format off
        QTest::newRow("login") << "TabSheet4" << "Lkeyname";
        QTest::newRow("admin login") << "TabSheet18" << "LFingerKeyName";
        // clang-format on
    }
    void keyNameLabels()
    {
        QFETCH(QString, page);
        QFETCH(QString, label);

        PageHost host;
        QWidget* p = host.page(page);
        auto* l = p->findChild<QLabel*>(label);
        QVERIFY(l);
        QVERIFY(l->font().bold());
        QCOMPARE(l->font().pixelSize(), 14);
        QCOMPARE(l->palette().color(QPalette::WindowText), QColor(Qt::blue));
        if (auto* login = qobject_cast<TLoginPage*>(p))
            login->setKeyName("Token B");
        else
            qobject_cast<TSoLoginPage*>(p)->setKeyName("Token B");
        QCOMPARE(l->text(), QStringLiteral("Token B"));
    }

    void fixedTexts()
    {
        PageHost host;
        QCOMPARE(host.stack.findChild<QLabel*>("RzLabel2")->text(), QStringLiteral("SO PIN:"));
        QVERIFY(host.stack.findChild<QLabel*>("Label9")->isHidden());
        auto* request = host.stack.findChild<QLineEdit*>("edtRequestStr");
        QVERIFY(request->isReadOnly());
        QVERIFY(host.stack.findChild<QWidget*>("edtUnlockCode"));
        QVERIFY(host.stack.findChild<QGroupBox*>("RzGroupBox8"));
    }

    void escapeCancels_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("actionName");

        // clang-format off
        QTest::newRow("login") << "TabSheet4" << "edtUPIN" << "AcCancel";
        QTest::newRow("admin login") << "TabSheet18" << "edtFingerSPIN" << "AcFingerLoginCancel";
        // clang-format on
    }
    void escapeCancels()
    {
        QFETCH(QString, page);
        QFETCH(QString, field);
        QFETCH(QString, actionName);

        PageHost host;
        QVERIFY(host.show(host.page(page)));
        auto* edit = host.page(page)->findChild<QLineEdit*>(field);
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        QSignalSpy triggered(host.page(page)->findChild<QAction*>(actionName), &QAction::triggered);
        QTest::keyClick(edit, Qt::Key_Escape);
        QCOMPARE(triggered.size(), 1);
    }

    // Nothing may stick out of the page area: a control cut off by the frame cannot be used.
    void controlsFitThePageArea_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < 15; ++i)
            // clang-format off
            QTest::addRow("page %d", i) << i;
        // clang-format on
    }
    void controlsFitThePageArea()
    {
        QFETCH(int, index);

        PageHost host;
        // Captions as long as the longest ones the tool shows.
        for (QAction* a : host.stack.findChildren<QAction*>())
            a->setText(QStringLiteral("解锁管理员指纹"));
        for (QLabel* l : host.stack.findChildren<QLabel*>())
            if (l->text().isEmpty() && l->pixmap().isNull())
                l->setText(QStringLiteral("SO PIN最大密码长度:"));
        QVERIFY(host.show(host.stack.widget(index)));
        QWidget* page = host.stack.currentWidget();
        QCOMPARE(page->size(), kPageArea);
        // A layout that needs more room than the page squeezes its controls below their minimum.
        QVERIFY2(page->minimumSizeHint().width() <= kPageArea.width(),
                 qPrintable(QString::number(page->minimumSizeHint().width())));
        QVERIFY2(page->minimumSizeHint().height() <= kPageArea.height(),
                 qPrintable(QString::number(page->minimumSizeHint().height())));
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if (!w->isVisible() || w->objectName().isEmpty())
                continue;
            const QRect r(w->mapTo(page, QPoint(0, 0)), w->size());
            QVERIFY2(page->rect().contains(r), qPrintable(w->objectName()));
        }
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
