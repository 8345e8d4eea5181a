// SPDX-License-Identifier: BSD-3-Clause
#include "ConnectedToken.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "pinadmin/TKeyLabelPage.h"
#include "ui/TActionButton.h"

#include <QAction>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

class TstKeyLabel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void actionNeedsAnyText_data();
    void actionNeedsAnyText();
    void changeLabel_data();
    void changeLabel();

private:
    void showPage(const VToken& token);

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TProgramState> m_state;
    std::unique_ptr<TKeyLabelPage> m_page;
};

void TstKeyLabel::init()
{
    m_env = std::make_unique<TestEnv>(false);
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_state = std::make_unique<TProgramState>();
    m_state->timings = testTimings();
    ResStrs::resetToDefaults();
}

void TstKeyLabel::cleanup()
{
    m_page.reset();
    CerMgrApis::FreeTokenLibrary();
    m_state.reset();
    m_dialogs.reset();
    m_env.reset();
}

void TstKeyLabel::showPage(const VToken& token)
{
    QVERIFY(ConnectedToken::connect(token, *m_state));
    m_page = std::make_unique<TKeyLabelPage>(*m_state);
    m_page->setKeyName(QString::fromUtf8(token.label).trimmed());
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
}

void TstKeyLabel::actionNeedsAnyText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("one blank") << QStringLiteral(" ") << true;
    QTest::newRow("a name") << QStringLiteral("Office") << true;
}

void TstKeyLabel::actionNeedsAnyText()
{
    QFETCH(QString, typed);
    QFETCH(bool, enabled);
    showPage(TokenFixture::token(0));
    m_page->keyNameEdit()->setText(typed);
    QX_TRY_COMPARE(m_page->setKeyNameAction()->isEnabled(), enabled);
    QCOMPARE(m_page->findChild<TActionButton*>(QStringLiteral("RzButton1"))->isEnabled(), enabled);
}

void TstKeyLabel::changeLabel_data()
{
    QTest::addColumn<bool>("initialized");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("labelAfter"); // what the token, the record and the tree then carry

    const QString tenChinese = QStringLiteral("中文名称中文名称中文");
    const QString before = QStringLiteral("QX4100");
    const QString ok = QStringLiteral("修改成功");
    const QString tooLong = QStringLiteral("参数超出范围");
    // clang-format off
    QTest::newRow("blanks around are trimmed") << true << false << false << "  Office key  " << ok << "Office key";
    QTest::newRow("31 bytes") << true << false << false << "A" + tenChinese << ok << "A" + tenChinese;
    QTest::newRow("32 bytes") << true << false << false << "AB" + tenChinese << tooLong << before;
    QTest::newRow("11 Chinese characters") << true << false << false << tenChinese + "文" << tooLong << before;
    QTest::newRow("31 bytes after trimming") << true << false << false << " A" + tenChinese + " " << ok
        << "A" + tenChinese;
    QTest::newRow("blanks only set an empty label") << true << false << false << "   " << ok << "";
    QTest::newRow("not initialized") << false << false << false << "Fresh" << ok << "Fresh";
    QTest::newRow("user PIN locked") << true << true << false << "Office" << "USBKey已锁死" << before;
    QTest::newRow("refused by the token") << true << false << true << "Office" << "修改失败" << before;
    // clang-format on
}

void TstKeyLabel::changeLabel()
{
    QFETCH(bool, initialized);
    QFETCH(bool, locked);
    QFETCH(bool, refused);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, labelAfter);
    VToken token = TokenFixture::token(0);
    token.label = "QX4100";
    token.initialized = initialized;
    if (locked)
        token.userPin.triesLeft = 0;
    if (refused) {
        VToken::Fault f;
        f.kind = VToken::Fault::FailNextCall;
        f.function = QStringLiteral("token_set_label");
        f.status = 0x0A000001;
        token.faults.append(f);
    }
    showPage(token);
    m_state->sessions.at(0)->setLogin(TTokenSession::Login::UserByPin);
    QSignalSpy renamed(m_page.get(), &TKeyLabelPage::labelChanged);

    m_page->keyNameEdit()->setText(typed);
    auto* button = m_page->findChild<TActionButton*>(QStringLiteral("RzButton1"));
    QX_TRY_VERIFY(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);

    QCOMPARE(m_dialogs->texts(), QStringList{message});
    QCOMPARE(m_dialogs->messages().first().ownerAtShow, m_page.get());
    QCOMPARE(QString::fromUtf8(ConnectedToken::stored(token).label), labelAfter);
    QCOMPARE(m_state->tokenInfo(0).Label, labelAfter);
    const bool changed = message == QStringLiteral("修改成功");
    QCOMPARE(renamed.count(), changed ? 1 : 0);
    if (changed)
        QCOMPARE(renamed.first(), (QVariantList{0, labelAfter}));
    // The focus goes back to the label that did not fit.
    if (message == QStringLiteral("参数超出范围"))
        QCOMPARE(m_page->focusWidget(), m_page->keyNameEdit());
    QCOMPARE(m_state->loginState(0), 2);
    // The key information page reads the label again when it is shown next.
    TQ7Info info;
    QCOMPARE(CerMgrApis::ReadTokenInfo(0, info), 0u);
    QCOMPARE(info.Label, labelAfter);
}

QTEST_MAIN(TstKeyLabel)
#include "tst_keylabel.moc"
