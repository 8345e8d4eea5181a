// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"
#include "app/AdminTreeNodes.h"
#include "app/TAboutPage.h"
#include "app/TKeyInfoPage.h"
#include "app/TMainForm.h"
#include "certs/TCertPage.h"
#include "finger/TFingerPage.h"
#include "finger/TFingerPicturesPage.h"
#include "i18n/CaptionApplier.h"
#include "i18n/ResStrs.h"
#include "pinadmin/TInitPage.h"
#include "pinadmin/TIsoPage.h"
#include "pinadmin/TKeyLabelPage.h"
#include "pinadmin/TLoginPage.h"
#include "pinadmin/TRemoteUnlockPage.h"
#include "pinadmin/TSoLoginPage.h"
#include "pinadmin/TSoPinPage.h"
#include "pinadmin/TUnlockPage.h"
#include "pinadmin/TUserPinPage.h"
#include "platform/SoPinInputDialog.h"
#include "sysinfo/TSystemInfoPage.h"
#include "ui/TElidedToolTips.h"
#include "ui/TProgramState.h"
#include "ui/TStartOptions.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// A window with the main window's banner and all pages, named as the main window names them.
class CaptionWindow : public QWidget
{
public:
    CaptionWindow()
    {
        setObjectName("MainForm");
        auto* layout = new QVBoxLayout(this);
        auto* banner = new QLabel(this);
        banner->setObjectName("Image1");
        layout->addWidget(banner);
        auto* pages = new QStackedWidget(this);
        layout->addWidget(pages);
        pages->addWidget(new TKeyInfoPage(state));
        pages->addWidget(new TUserPinPage(state));
        pages->addWidget(new TKeyLabelPage(state));
        pages->addWidget(new TLoginPage(state));
        pages->addWidget(new TCertPage(state));
        pages->addWidget(new TSystemInfoPage(state));
        pages->addWidget(new TAboutPage(state));
        pages->addWidget(new TInitPage(state));
        pages->addWidget(new TSoPinPage(state));
        pages->addWidget(new TUnlockPage(state));
        pages->addWidget(new TIsoPage(state));
        pages->addWidget(new TFingerPage(state));
        pages->addWidget(new TFingerPicturesPage(state));
        pages->addWidget(new TSoLoginPage(state));
        pages->addWidget(new TRemoteUnlockPage(state));
    }

    TProgramState state;
};

// The text a control shows: part -1 is its own text, otherwise a column header or a tab.
QString shownText(QObject* control, int part)
{
    if (auto* table = qobject_cast<QTableWidget*>(control))
        return table->horizontalHeaderItem(part) ? table->horizontalHeaderItem(part)->text() : QString();
    if (auto* tabs = qobject_cast<QTabWidget*>(control))
        return tabs->tabText(part);
    if (auto* action = qobject_cast<QAction*>(control))
        return action->text();
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    if (auto* box = qobject_cast<QGroupBox*>(control))
        return box->title();
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text();
    return QStringLiteral("<no text>");
}

void writeLanguageFile(const QString& path, const QByteArray& entries)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Caption]\n" + entries);
}

} // namespace

// Visible labels and buttons under `root` whose caption needs more room than they have and that do
// not show it whole as their tooltip.
QStringList cutCaptions(QWidget* root)
{
    QStringList cut;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisible())
            continue;
        QString text;
        int room = 0;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->wordWrap() || label->text().isEmpty())
                continue;
            text = label->text();
            room = label->contentsRect().width() - 2 * label->margin() - 2 * label->indent();
            int needed = 0;
            for (const QString& line : text.split(QLatin1Char('\n')))
                needed = qMax(needed, label->fontMetrics().horizontalAdvance(line));
            if (needed <= room)
                continue;
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            text = button->text();
            if (text.isEmpty() || button->sizeHint().width() <= button->width())
                continue;
        } else {
            continue;
        }
        if (w->toolTip().remove(QLatin1Char('&')) != QString(text).remove(QLatin1Char('&')))
            cut << w->objectName() + QLatin1Char('=') + text;
    }
    return cut;
}

// Visible labels and buttons of a page that reach past the page control's area, or touch its edge
// (a button row drawn against the window's border reads as cut off).
QStringList clippedControls(QWidget* page)
{
    QStringList clipped;
    QWidget* area = page->parentWidget();
    const QRect inside = area->rect().adjusted(1, 1, -1, -1);
    for (QWidget* w : page->findChildren<QWidget*>()) {
        if (!w->isVisible() || !(qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)))
            continue;
        const QRect at(w->mapTo(area, QPoint(0, 0)), w->size());
        if (!inside.contains(at))
            clipped << w->objectName() + QStringLiteral(" at the page's edge");
    }
    return clipped;
}

// Navigation nodes under `item` whose text the tree cuts short.
QStringList cutNodes(QTreeWidget* tree, QTreeWidgetItem* item)
{
    QStringList cut;
    const QModelIndex index = tree->indexFromItem(item);
    if (index.isValid() && !TElidedToolTips::cutText(tree, index).isEmpty())
        cut << QStringLiteral("tv=") + item->text(0);
    for (int i = 0; i < item->childCount(); ++i)
        cut << cutNodes(tree, item->child(i));
    return cut;
}

class TestCaptions : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { ResStrs::resetToDefaults(); }

    void controlTexts_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("part");
        QTest::addColumn<QString>("expected");

        // Built-in labels already end in a full-width colon; the ASCII one is added all the same.
        // clang-format off
        QTest::newRow("login prompt") << "" << "Label14" << -1 << "您准备登录的USBKey为：:";
        QTest::newRow("PIN prompt") << "" << "RzLabel1" << -1 << "口令：:";
        QTest::newRow("old PIN prompt") << "" << "Label2" << -1 << "原口令：:";
        QTest::newRow("admin login prompt") << "" << "Label12" << -1 << "您准备登录的USBKey为：:";
        QTest::newRow("old SO PIN prompt") << "" << "LAdmin_Old_SOPIN" << -1 << "原SO PIN:";
        QTest::newRow("challenge prompt") << "" << "Label44" << -1 << "挑战码:";
        QTest::newRow("finger tries, no colon") << "" << "Label22" << -1 << "管理员最大重试次数";
        QTest::newRow("fixed SO PIN prompt") << "" << "RzLabel2" << -1 << "SO PIN:";
        QTest::newRow("key list column 1") << "" << "lv" << 0 << "字段";
        QTest::newRow("key list column 2") << "" << "lv" << 1 << "值";
        QTest::newRow("report column 1") << "" << "LVSystemInfo" << 0 << "系统检测";
        QTest::newRow("report column 2") << "" << "LVSystemInfo" << 1 << "状态";
        QTest::newRow("init base tab") << "" << "PCInit" << 0 << "基本信息";
        QTest::newRow("init finger tab") << "" << "PCInit" << 3 << "指纹设置";
        QTest::newRow("finger tab") << "" << "PCFinger" << 0 << "用户指纹";
        QTest::newRow("remote unlock group") << "" << "RzGroupBox8" << -1 << "远程解锁";
        QTest::newRow("login action") << "" << "AcLogin" << -1 << "登录(&L)";
        QTest::newRow("login button follows") << "" << "btnlogon" << -1 << "登录(&L)";
        QTest::newRow("key refresh button") << "" << "Button7" << -1 << "刷新";
        QTest::newRow("cert refresh") << "" << "Acrefresh" << -1 << "刷新";
        QTest::newRow("set PIN") << "" << "AcSetUserPIN" << -1 << "修改";
        QTest::newRow("set label") << "" << "AcSetKeyName" << -1 << "修改";
        QTest::newRow("delete cert") << "" << "AcDelCert" << -1 << "删除证书";
        QTest::newRow("challenge") << "" << "AcRequest" << -1 << "生成";
        QTest::newRow("en login prompt") << "EN_1033.lng" << "Label14" << -1 << "You are logging in to the USB key:";
        QTest::newRow("en PIN prompt") << "EN_1033.lng" << "RzLabel1" << -1 << "PIN:";
        QTest::newRow("en old SO PIN") << "EN_1033.lng" << "LAdmin_Old_SOPIN" << -1 << "Current SO PIN:";
        QTest::newRow("en challenge") << "EN_1033.lng" << "Label44" << -1 << "Challenge:";
        QTest::newRow("en column") << "EN_1033.lng" << "lv" << 0 << "Field";
        QTest::newRow("en tab") << "EN_1033.lng" << "PCInit" << 0 << "General";
        QTest::newRow("en finger tab") << "EN_1033.lng" << "PCFinger" << 0 << "User fingerprints";
        QTest::newRow("en login") << "EN_1033.lng" << "AcLogin" << -1 << "&Log in";
        QTest::newRow("en refresh button") << "EN_1033.lng" << "Button7" << -1 << "Refresh";
        QTest::newRow("en set PIN") << "EN_1033.lng" << "AcSetUserPIN" << -1 << "Change";
        QTest::newRow("en group") << "EN_1033.lng" << "RzGroupBox8" << -1 << "Remote unlock";
        QTest::newRow("en fixed prompt") << "EN_1033.lng" << "RzLabel2" << -1 << "SO PIN:";
        // clang-format on
    }
    void controlTexts()
    {
        QFETCH(QString, language);
        QFETCH(QString, control);
        QFETCH(int, part);
        QFETCH(QString, expected);

        TestEnv env;
        if (!language.isEmpty()) {
            const QString path = env.appDir() + "Languages/" + language;
            QVERIFY(QFile::exists(path));
            ResStrs::load(path);
        }
        CaptionWindow window;
        CaptionApplier::apply(&window);
        QObject* target = window.findChild<QObject*>(control);
        QVERIFY(target);
        QCOMPARE(shownText(target, part), expected);
    }

    // The shipped files give every label one colon, whatever the built-in text ends in.
    void noDoubleColons_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("Chinese") << "CHS_2052.lng";
        QTest::newRow("English") << "EN_1033.lng";
    }
    void noDoubleColons()
    {
        QFETCH(QString, language);
        TestEnv env;
        const QString path = env.appDir() + "Languages/" + language;
        QVERIFY(QFile::exists(path));
        ResStrs::load(path);
        CaptionWindow window;
        CaptionApplier::apply(&window);
        int labels = 0;
        for (const QString& name : CaptionApplier::controlNames()) {
            QObject* control = window.findChild<QObject*>(name);
            const QString text = shownText(control, qobject_cast<QTableWidget*>(control) ? 1 : 0);
            if (text.endsWith(u':'))
                ++labels;
            QVERIFY2(!text.endsWith(QStringLiteral("\uff1a:")) && !text.endsWith(QStringLiteral("::")),
                     qPrintable(name + QLatin1Char(' ') + text));
        }
        QVERIFY(labels > 10);
    }

    // The about page names the version and what the tool runs on, in the catalog's language.
    void aboutText_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("firstLine");
        QTest::addColumn<QString>("licence");
        QTest::newRow("built-in") << QString() << QStringLiteral("PKI管理工具 版本 " QX_VERSION_STRING)
                                  << QStringLiteral("以 BSD 3-Clause 许可证发布");
        QTest::newRow("English") << "EN_1033.lng" << QString()
                                 << QStringLiteral("Released under the BSD 3-Clause licence");
    }
    void aboutText()
    {
        QFETCH(QString, language);
        QFETCH(QString, firstLine);
        QFETCH(QString, licence);
        TestEnv env;
        if (!language.isEmpty())
            ResStrs::load(env.appDir() + "Languages/" + language);
        TProgramState state;
        TAboutPage page(state);
        auto* text = page.findChild<QLabel*>("LAboutText");
        QVERIFY(text);
        const QStringList lines = text->text().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4);
        if (!firstLine.isEmpty())
            QCOMPARE(lines[0], firstLine);
        QVERIFY(lines[0].endsWith(QStringLiteral(QX_VERSION_STRING)));
        QCOMPARE(lines[1], ResStrs::text("About_Copyright"));
        QCOMPARE(lines[2], licence);
        QVERIFY(lines[3].startsWith(QStringLiteral("Qt ") + QString::fromLatin1(qVersion())));
        QVERIFY(lines[3].contains(QStringLiteral("OpenSSL 3.")));
        // Pictures to look at by eye, only when asked for.
        if (const QString shots = qEnvironmentVariable("QX_SHOTS_DIR"); !shots.isEmpty()) {
            page.resize(454, 347);
            page.grab().save(shots + QStringLiteral("/about-") + QLatin1String(QTest::currentDataTag()) +
                             QStringLiteral(".png"));
        }
    }

    // A control named in the caption table but missing from the window would silently keep its
    // placeholder.
    void everyCaptionedControlExists()
    {
        TestEnv env;
        CaptionWindow window;
        CaptionApplier::apply(&window);
        const QStringList names = CaptionApplier::controlNames();
        QVERIFY(names.size() > 60);
        for (const QString& name : names) {
            const QList<QObject*> found = window.findChildren<QObject*>(name);
            QVERIFY2(found.size() == 1, qPrintable(name));
            const int part = qobject_cast<QTableWidget*>(found.first()) ? 1 : 0;
            QVERIFY2(!shownText(found.first(), part).trimmed().isEmpty(), qPrintable(name));
        }
        auto* tabs = window.findChild<QTabWidget*>("PCInit");
        for (int i = 0; i < tabs->count(); ++i)
            QVERIFY(!tabs->tabText(i).isEmpty());
    }

    void font_data()
    {
        QTest::addColumn<QByteArray>("entries"); // empty: no language file
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pointSize");

        // clang-format off
        QTest::newRow("built-in") << QByteArray() << "宋体" << 9;
        QTest::newRow("twelve") << QByteArray("FontName=Sans Serif\nFontSize=12\n") << "Sans Serif" << 12;
        QTest::newRow("not a number keeps 9") << QByteArray("FontName=Sans Serif\nFontSize=12pt\n") << "Sans Serif" << 9;
        QTest::newRow("missing size keeps 9") << QByteArray("FontName=Sans Serif\n") << "Sans Serif" << 9;
        QTest::newRow("zero keeps 9") << QByteArray("FontName=Sans Serif\nFontSize=0\n") << "Sans Serif" << 9;
        // clang-format on
    }
    void font()
    {
        QFETCH(QByteArray, entries);
        QFETCH(QString, family);
        QFETCH(int, pointSize);

        TestEnv env;
        if (!entries.isEmpty()) {
            writeLanguageFile(env.path("lang.lng"), entries);
            ResStrs::load(env.path("lang.lng"));
        }
        CaptionWindow window;
        CaptionApplier::apply(&window);
        QCOMPARE(window.font().family(), family);
        QCOMPARE(window.font().pointSize(), pointSize);
        // Controls without a font of their own follow the window.
        auto* pin = window.findChild<QLineEdit*>("edtUPIN");
        QCOMPARE(pin->font().pointSize(), pointSize);
        QCOMPARE(window.findChild<QLabel*>("Label14")->font().family(), family);
        // The token names keep their own face.
        for (const char* name : {"Lkeyname", "LFingerKeyName"}) {
            auto* label = window.findChild<QLabel*>(name);
            QCOMPARE(label->font().pixelSize(), 14);
            QVERIFY(label->font().bold());
            QCOMPARE(label->font().family(), QStringLiteral("宋体"));
        }
    }

    void windowCaption()
    {
        TestEnv env;
        CaptionWindow window;
        CaptionApplier::apply(&window);
        // Three blanks of the built-in caption, then the two of the separator.
        QCOMPARE(window.windowTitle(),
                 QStringLiteral("PKI管理工具     V") + QStringLiteral(QX_VERSION_STRING));
        QCOMPARE(QString(QX_VERSION_STRING).split('.').size(), 4);
        QCOMPARE(CaptionApplier::windowCaption("PKI Manager", QString()), QStringLiteral("PKI Manager  V"));
    }

    void mainWindowHasCaptionsFromCreation()
    {
        TestEnv env;
        TMainForm form;
        QCOMPARE(form.windowTitle(), QStringLiteral("PKI管理工具     V") + QStringLiteral(QX_VERSION_STRING));
        QCOMPARE(form.font().pointSize(), 9);
    }

    // Every caption of every page fits its control in both languages, or shows itself whole as
    // the control's tooltip.
    void captionsFitOrShowWhole_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("Chinese") << "CHS_2052.lng";
        QTest::newRow("English") << "EN_1033.lng";
    }
    void captionsFitOrShowWhole()
    {
        QFETCH(QString, language);
        TestEnv env;
        ResStrs::load(env.appDir() + "Languages/" + language);
        // Administrator mode: its tree nodes and actions are shown as well.
        TStartOptions options;
        options.admin = true;
        TMainForm form(options);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* pages = form.findChild<QStackedWidget*>(QStringLiteral("RPC"));
        QStringList cut;
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            QWidget* page = pages->currentWidget();
            // Inner tab pages are shown one after the other as well.
            for (QTabWidget* tabs : page->findChildren<QTabWidget*>()) {
                for (int t = 0; t < tabs->count(); ++t) {
                    tabs->setCurrentIndex(t);
                    QCoreApplication::processEvents();
                    cut << cutCaptions(tabs->widget(t));
                }
            }
            QCoreApplication::processEvents();
            cut << cutCaptions(page) << clippedControls(page);
        }
        // The deepest nodes are the administration subtree's, four levels below the root.
        auto* tree = form.findChild<QTreeWidget*>(QStringLiteral("tv"));
        auto* token = new QTreeWidgetItem(tree->topLevelItem(0), QStringList(QStringLiteral("QX4100")));
        AdminTreeNodes::addTo(token, true);
        tree->expandAll();
        QCoreApplication::processEvents();
        cut << cutNodes(tree, tree->topLevelItem(0));
        cut.removeDuplicates();
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(" | "))));
    }

    // The SO PIN prompt wraps only when it needs more than the dialog's room for it.
    void soPinPromptKeepsToOneLine_data() { captionsFitOrShowWhole_data(); }
    void soPinPromptKeepsToOneLine()
    {
        QFETCH(QString, language);
        TestEnv env;
        ResStrs::load(env.appDir() + "Languages/" + language);
        const QString prompt = ResStrs::text("K_InputSOPIN") + QLatin1Char(':');
        SoPinInputDialog dialog(nullptr, ResStrs::text("K_Verify"), prompt, QString(),
                                ResStrs::text("C_Btn_Confirm"), ResStrs::text("C_Btn_Cancel"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* label = dialog.findChild<QLabel*>(QStringLiteral("Prompt"));
        QCOMPARE(label->text(), prompt);
        QVERIFY(label->fontMetrics().horizontalAdvance(prompt) <= label->maximumWidth());
        QVERIFY2(label->height() < 2 * label->fontMetrics().lineSpacing(), qPrintable(prompt));
        QVERIFY(dialog.rect().contains(label->geometry()));
    }

    void pictures_data()
    {
        QTest::addColumn<QByteArray>("entries"); // empty: no language file
        QTest::addColumn<bool>("banner");
        QTest::addColumn<bool>("about");

        // clang-format off
        QTest::newRow("built-in names") << QByteArray() << true << true;
        QTest::newRow("missing banner file") << QByteArray("P_topImg=nothing.jpg\nP_GSImg=GS.jpg\n") << false << true;
        QTest::newRow("no names: the folder is not a picture") << QByteArray("FontSize=9\n") << false << false;
        QTest::newRow("only the banner named") << QByteArray("P_topImg=top_img.jpg\n") << true << false;
        // clang-format on
    }
    void pictures()
    {
        QFETCH(QByteArray, entries);
        QFETCH(bool, banner);
        QFETCH(bool, about);

        TestEnv env;
        QVERIFY(QFile::exists(env.appDir() + "res/top_img.jpg"));
        QVERIFY(QFile::exists(env.appDir() + "res/GS.jpg"));
        if (!entries.isEmpty()) {
            writeLanguageFile(env.path("lang.lng"), entries);
            ResStrs::load(env.path("lang.lng"));
        }
        CaptionWindow window;
        CaptionApplier::apply(&window);
        QCOMPARE(!window.findChild<QLabel*>("Image1")->pixmap().isNull(), banner);
        QCOMPARE(!window.findChild<QLabel*>("Image6")->pixmap().isNull(), about);
    }
};

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"
