// SPDX-License-Identifier: BSD-3-Clause
#include "ConnectedToken.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "pinadmin/TUserPinPage.h"
#include "ui/TActionButton.h"

#include <QAction>
#include <QLineEdit>
#include <QtTest>

#include <memory>

namespace {
const QString kPin = QString::fromLatin1(TokenFixture::UserPin);
const QString kDead = QStringLiteral("USBKey已锁死");
} // namespace

class TstUserPin : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void actionFollowsLengths_data();
    void actionFollowsLengths();
    void changeUserPin_data();
    void changeUserPin();
    void triesCountDownThenTheButtonChanges();

private:
    void showPage(const VToken& token);
    QLineEdit* field(const char* name) const { return m_page->findChild<QLineEdit*>(QLatin1String(name)); }
    void fill(const QString& oldPin, const QString& newPin1, const QString& newPin2)
    {
        field("edtOldUPin")->setText(oldPin);
        field("edtNewUPin1")->setText(newPin1);
        field("edtNewUPin2")->setText(newPin2);
    }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TProgramState> m_state;
    std::unique_ptr<TUserPinPage> m_page;
};

void TstUserPin::init()
{
    m_env = std::make_unique<TestEnv>(false);
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_state = std::make_unique<TProgramState>();
    m_state->timings = testTimings();
    ResStrs::resetToDefaults();
}

void TstUserPin::cleanup()
{
    m_page.reset();
    CerMgrApis::FreeTokenLibrary();
    m_state.reset();
    m_dialogs.reset();
    m_env.reset();
}

void TstUserPin::showPage(const VToken& token)
{
    QVERIFY(ConnectedToken::connect(token, *m_state));
    m_page = std::make_unique<TUserPinPage>(*m_state);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
}

void TstUserPin::actionFollowsLengths_data()
{
    QTest::addColumn<QString>("oldPin");
    QTest::addColumn<QString>("newPin1");
    QTest::addColumn<QString>("newPin2");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("all four long") << "1234"
                                   << "abcd"
                                   << "abcx" << true;
    QTest::newRow("old PIN short") << "123"
                                   << "abcd"
                                   << "abcd" << false;
    QTest::newRow("new PIN short") << "1234"
                                   << "abc"
                                   << "abcd" << false;
    QTest::newRow("confirmation short") << "1234"
                                        << "abcd"
                                        << "abc" << false;
    QTest::newRow("all empty") << ""
                               << ""
                               << "" << false;
}

void TstUserPin::actionFollowsLengths()
{
    QFETCH(QString, oldPin);
    QFETCH(QString, newPin1);
    QFETCH(QString, newPin2);
    QFETCH(bool, enabled);
    showPage(TokenFixture::token(0));
    fill(oldPin, newPin1, newPin2);
    QX_TRY_COMPARE(m_page->setUserPinAction()->isEnabled(), enabled);
    QCOMPARE(m_page->findChild<TActionButton*>(QStringLiteral("btnOK"))->isEnabled(), enabled);
}

void TstUserPin::changeUserPin_data()
{
    QTest::addColumn<bool>("initialized");
    QTest::addColumn<int>("triesLeft");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<QString>("oldPin");
    QTest::addColumn<QString>("newPin1");
    QTest::addColumn<QString>("newPin2");
    QTest::addColumn<int>("fault"); // -1 none, else a VToken::Fault kind on token_change_upin
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("triesAfter");
    QTest::addColumn<QString>("pinAfter"); // the PIN the token takes afterwards, empty: none checked
    QTest::addColumn<int>("loginStateAfter");

    const QString shortNew = QStringLiteral("用户PIN码不符合长度要求！(4--8)");
    const QString chinese = QStringLiteral("口令口令"); // 4 characters, 12 bytes of UTF-8
    const int none = -1;
    const int refused = VToken::Fault::FailNextCall;
    const int pulled = VToken::Fault::PullOutNextCall;
    // clang-format off
    QTest::newRow("never initialized") << false << 10 << 16 << kPin << "11112222" << "11112222" << none
        << "设备未初始化，请与管理员联系" << 10 << "" << 2;
    QTest::newRow("locked") << true << 0 << 16 << kPin << "11112222" << "11112222" << none << kDead << 0 << "" << 2;
    QTest::newRow("confirmation differs in one character, no try used") << true << 4 << 16 << "00000000"
        << "11112222" << "11112223" << none << "新口令和确认口令必须相同！" << 4 << kPin << 2;
    QTest::newRow("case differs") << true << 10 << 16 << kPin << "abcdefgh" << "abcdefgH" << none
        << "新口令和确认口令必须相同！" << 10 << kPin << 2;
    QTest::newRow("new PIN too long") << true << 10 << 8 << kPin << "1234567890" << "1234567890" << none
        << shortNew << 10 << kPin << 2;
    QTest::newRow("new PIN too short, by Enter") << true << 10 << 8 << kPin << "123" << "123" << none
        << shortNew << 10 << kPin << 2;
    QTest::newRow("non-ASCII counted in bytes") << true << 10 << 8 << kPin << chinese << chinese << none
        << shortNew << 10 << kPin << 2;
    QTest::newRow("non-ASCII within the limit") << true << 10 << 16 << kPin << chinese << chinese << none
        << "修改成功" << 10 << chinese << 1;
    QTest::newRow("shortest new PIN") << true << 10 << 8 << kPin << "1234" << "1234" << none
        << "修改成功" << 10 << "1234" << 1;
    QTest::newRow("longest new PIN") << true << 10 << 8 << kPin << "abcdefgh" << "abcdefgh" << none
        << "修改成功" << 10 << "abcdefgh" << 1;
    QTest::newRow("wrong old PIN, 3 tries left") << true << 4 << 16 << "00000000" << "11112222" << "11112222"
        << none << "原口令不正确,您还有3次重试机会" << 3 << kPin << 1;
    QTest::newRow("wrong old PIN used the last try") << true << 1 << 16 << "00000000" << "11112222"
        << "11112222" << none << kDead << 0 << "" << 1;
    QTest::newRow("change refused") << true << 10 << 16 << kPin << "11112222" << "11112222" << refused
        << "修改失败 ErrorCode :String=  = 0x0A000001" << 10 << kPin << 1;
    // The old PIN was right a moment ago: a token that is gone is not reported as locked.
    QTest::newRow("pulled out before the change") << true << 10 << 16 << kPin << "11112222" << "11112222"
        << pulled << "修改失败 ErrorCode :String=  = 0x0A000023" << 10 << "" << 1;
    // clang-format on
}

void TstUserPin::changeUserPin()
{
    QFETCH(bool, initialized);
    QFETCH(int, triesLeft);
    QFETCH(int, maxLength);
    QFETCH(QString, oldPin);
    QFETCH(QString, newPin1);
    QFETCH(QString, newPin2);
    QFETCH(int, fault);
    QFETCH(QString, message);
    QFETCH(int, triesAfter);
    QFETCH(QString, pinAfter);
    QFETCH(int, loginStateAfter);
    VToken token = TokenFixture::token(0);
    token.initialized = initialized;
    token.userPin.triesLeft = triesLeft;
    token.userPin.maxLength = maxLength;
    if (fault >= 0) {
        VToken::Fault f;
        f.kind = VToken::Fault::Kind(fault);
        f.function = QStringLiteral("token_change_upin");
        f.status = 0x0A000001;
        token.faults.append(f);
    }
    showPage(token);
    m_state->sessions.at(0)->setLogin(TTokenSession::Login::UserByPin);

    fill(oldPin, newPin1, newPin2);
    QTest::keyClick(field("edtNewUPin2"), Qt::Key_Return);

    QCOMPARE(m_dialogs->texts(), QStringList{message});
    const ScriptedDialogs::Message& shown = m_dialogs->messages().first();
    QCOMPARE(shown.icon, DialogService::Icon::Information);
    QCOMPARE(shown.title, QStringLiteral("提示"));
    QCOMPARE(shown.ownerAtShow, m_page.get());
    QCOMPARE(m_state->loginState(0), loginStateAfter);
    const bool changed = message == QStringLiteral("修改成功");
    QCOMPARE(field("edtOldUPin")->text().isEmpty(), changed);
    QCOMPARE(field("edtNewUPin2")->text().isEmpty(), changed);

    const VToken after = ConnectedToken::stored(token);
    QCOMPARE(after.userPin.triesLeft, triesAfter);
    if (!pinAfter.isEmpty()) {
        qint32 retries = 0;
        CerMgrApis::LogoutToken(0);
        QCOMPARE(CerMgrApis::LoginUser(0, pinAfter, retries), 0u);
    }
}

void TstUserPin::triesCountDownThenTheButtonChanges()
{
    showPage(TokenFixture::token(0));
    auto* button = m_page->findChild<TActionButton*>(QStringLiteral("btnOK"));
    for (int left : {9, 8}) {
        m_dialogs->clear();
        fill(QStringLiteral("99999999"), QStringLiteral("24682468"), QStringLiteral("24682468"));
        QX_TRY_VERIFY(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(m_dialogs->texts(),
                 QStringList{QStringLiteral("原口令不正确,您还有%1次重试机会").arg(left)});
    }
    m_dialogs->clear();
    fill(kPin, QStringLiteral("24682468"), QStringLiteral("24682468"));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(m_dialogs->texts(), QStringList{QStringLiteral("修改成功")});
    QCOMPARE(ConnectedToken::stored(TokenFixture::token(0)).userPin.triesLeft, 10);
    qint32 retries = 0;
    QCOMPARE(CerMgrApis::LoginUser(0, kPin, retries), TokenStatus::PinIncorrect);
    QCOMPARE(CerMgrApis::LoginUser(0, QStringLiteral("24682468"), retries), 0u);
}

QTEST_MAIN(TstUserPin)
#include "tst_userpin.moc"
