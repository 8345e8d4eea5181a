// SPDX-License-Identifier: BSD-3-Clause
#include "ConnectedToken.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "pinadmin/TInitDefaults.h"
#include "pinadmin/TInitPage.h"
#include "platform/TIniFile.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSpinBox>
#include <QStringEncoder>
#include <QtTest>

#include <memory>

namespace {
const QString kSoPin = QString::fromLatin1(TokenFixture::SoPin);
const QString kDone = QStringLiteral("操作成功");
const QString kQuestion = QStringLiteral("初始化后USBKey中证书将清除\r是否继续初始化？");
} // namespace

// The initialization page on a virtual token: the fill from the defaults file, the checks, the
// parameter record and what the token holds afterwards.
class TstInit : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void fillFromTheDefaultsFile_data();
    void fillFromTheDefaultsFile();
    void settingsCopyIsReadWhenTheAppFolderIsReadOnly();
    void parameterRecord();
    void checksBeforeTheToken_data();
    void checksBeforeTheToken();
    void initializeAnInitializedToken();
    void initializeANewTokenAsksNothing();
    void defaultsFileInTheWay_data();
    void defaultsFileInTheWay();
    void soPinDialog_data();
    void soPinDialog();

private:
    void showPage(const VToken& token);
    QLineEdit* text(const char* name) const { return m_page->findChild<QLineEdit*>(QLatin1String(name)); }
    QSpinBox* spin(const char* name) const { return m_page->findChild<QSpinBox*>(QLatin1String(name)); }
    QString defaultsPath() const { return m_env->appDir() + QLatin1String(TInitDefaults::FileName); }

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TProgramState> m_state;
    std::unique_ptr<TInitPage> m_page;
};

void TstInit::init()
{
    m_env = std::make_unique<TestEnv>(false);
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_state = std::make_unique<TProgramState>();
    m_state->timings = testTimings();
    ResStrs::resetToDefaults();
}

void TstInit::cleanup()
{
    m_page.reset();
    CerMgrApis::FreeTokenLibrary();
    m_state.reset();
    m_dialogs.reset();
    m_env.reset();
}

void TstInit::showPage(const VToken& token)
{
    QVERIFY(ConnectedToken::connect(token, *m_state));
    m_page = std::make_unique<TInitPage>(*m_state);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
}

void TstInit::fillFromTheDefaultsFile_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: no file at all
    QTest::addColumn<QString>("label");
    QTest::addColumn<QList<int>>("spins"); // user max, min, tries; SO max, min, tries; fingerprint four

    const QList<int> untouched{16, 4, 10, 16, 4, 10, 10, 1, 10, 1};
    QTest::newRow("no file") << QByteArray() << "QX4100" << untouched;
    // An existing file without the section gives every missing-key value.
    QTest::newRow("empty") << QByteArray("\n") << "" << QList<int>{16, 4, 10, 16, 4, 10, 10, 1, 10, 1};
    QTest::newRow("binary") << QByteArray("\x00\xff\xfe\x01\x02\x7f", 6) << "" << untouched;
    QTest::newRow("values clamped")
        << QByteArray(
               "[InitData]\nLabelName=Desk\nmaxUPINLen=99\nminUPINLen=1\nuPinRetryTimes=0\n"
               "maxSOPINLen=-5\nminSOPINLen=17\nsoPinRetryTimes=16\nF_AdminLevel=9\nF_UserRetryTimes=20\n")
        << "Desk" << QList<int>{16, 4, 1, 4, 16, 15, 10, 3, 15, 1};
    QTest::newRow("non-numeric") << QByteArray("[InitData]\nLabelName=Desk\nminUPINLen=six\nmaxSOPINLen=8x\n")
                                 << "Desk" << QList<int>{16, 4, 10, 16, 4, 10, 10, 1, 10, 1};
    QByteArray utf16("\xff\xfe", 2);
    const QString text = QStringLiteral("[InitData]\r\nLabelName=标签\r\nminUPINLen=6\r\n");
    utf16 += QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QTest::newRow("UTF-16") << utf16 << "标签" << QList<int>{16, 6, 10, 16, 4, 10, 10, 1, 10, 1};
    QStringEncoder system(QStringEncoder::System);
    const QByteArray codePage = system.encode(QStringLiteral("[InitData]\nLabelName=标签二\n"));
    QTest::newRow("code page, no maxUPINLen")
        << codePage << "标签二" << QList<int>{16, 4, 10, 16, 4, 10, 10, 1, 10, 1};
}

void TstInit::fillFromTheDefaultsFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, label);
    QFETCH(QList<int>, spins);
    if (!file.isEmpty()) {
        QFile f(defaultsPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
    }
    showPage(TokenFixture::token(0));
    m_page->fill();
    QCOMPARE(text("edtInit_KeyName")->text(), label);
    const char* names[] = {"edtInit_PINLenMax",   "edtInit_PINlenMin",   "edtInit_MaxCount",
                           "edtInit_SOPINlenMax", "edtInit_SOPINlenMin", "edtInit_MaxCount_SOPIN",
                           "edtInit_SOPINTry",    "edtInit_SOPINLeve",   "edtInit_UPINTry",
                           "edtInit_UPINLeve"};
    QList<int> shown;
    for (const char* n : names)
        shown << spin(n)->value();
    QCOMPARE(shown, spins);
}

void TstInit::settingsCopyIsReadWhenTheAppFolderIsReadOnly()
{
    TInitDefaults d;
    d.LabelName = QStringLiteral("Installed");
    QVERIFY(d.write(TInitDefaults::writePath()));
    QCOMPARE(TInitDefaults::writePath(), defaultsPath());
    QFile::setPermissions(m_env->appDir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const auto restore = qScopeGuard([this] {
        QFile::setPermissions(m_env->appDir(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    });
    if (QFileInfo(m_env->appDir()).isWritable())
        QSKIP("running with rights that ignore folder permissions");
    QCOMPARE(TInitDefaults::writePath(), m_env->settingsDir() + QLatin1String(TInitDefaults::FileName));
    QCOMPARE(TInitDefaults::readPath(), defaultsPath()); // no copy in the settings folder yet
    d.LabelName = QStringLiteral("Settings copy");
    QVERIFY(d.write(TInitDefaults::writePath()));
    QCOMPARE(TInitDefaults::readPath(), TInitDefaults::writePath());
    TInitDefaults back;
    QVERIFY(back.read(TInitDefaults::readPath()));
    QCOMPARE(back.LabelName, QStringLiteral("Settings copy"));
}

void TstInit::parameterRecord()
{
    TInitDefaults d;
    d.LabelName = QStringLiteral("标签") + QString(30, QLatin1Char('x')); // 36 bytes: cut to whole characters
    d.manufacture = QString(32, QLatin1Char('M'));
    d.Issuer = QStringLiteral("Issuer");
    d.default_sopin = QStringLiteral("so");
    d.default_upin = QStringLiteral("user");
    d.uPinRetryTimes = 3;
    d.soPinRetryTimes = 5;
    d.minUPINLen = 6;
    d.maxUPINLen = 12;
    d.minSOPINLen = 0x108; // the low byte only
    d.maxSOPINLen = 16;
    const QByteArray r = d.formatRecord();
    QCOMPARE(r.size(), 166);
    QCOMPARE(r.left(31), (QStringLiteral("标签") + QString(25, QLatin1Char('x'))).toUtf8());
    QCOMPARE(r.at(31), '\0');
    QCOMPARE(r.mid(32, 32), QByteArray(32, 'M')); // fills its field with no zero before the issuer
    QCOMPARE(r.mid(64, 32), QByteArray("Issuer") + QByteArray(26, '\0'));
    QCOMPARE(r.mid(96, 32), QByteArray("so") + QByteArray(30, '\0'));
    QCOMPARE(r.mid(128, 32), QByteArray("user") + QByteArray(28, '\0'));
    QCOMPARE(r.mid(160), QByteArray("\x03\x05\x06\x0c\x08\x10", 6));
}

void TstInit::checksBeforeTheToken_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("soPin");
    QTest::addColumn<int>("soMin");
    QTest::addColumn<int>("soMax");
    QTest::addColumn<QString>("userPin");
    QTest::addColumn<QString>("message"); // empty: goes on to the question
    const QString soLength = QStringLiteral("SO PIN不符合长度要求！");
    QTest::newRow("SO PIN of 3") << "QX"
                                 << "abc" << 4 << 16 << "12345678" << soLength;
    QTest::newRow("SO minimum above maximum") << "QX"
                                              << "abcdefg" << 10 << 5 << "12345678" << soLength;
    QTest::newRow("user PIN short") << "QX"
                                    << "abcdef" << 4 << 16 << "123"
                                    << "用户PIN码不符合长度要求！";
    QTest::newRow("label of 31 bytes")
        << QString(31, QLatin1Char('L')) << "abcdef" << 4 << 16 << "12345678" << QString();
    QTest::newRow("label of 32 bytes") << QString(32, QLatin1Char('L')) << "abcdef" << 4 << 16 << "12345678"
                                       << "参数超出范围";
    QTest::newRow("11 Chinese characters") << QString(11, QChar(0x6807)) << "abcdef" << 4 << 16 << "12345678"
                                           << "参数超出范围";
}

void TstInit::checksBeforeTheToken()
{
    QFETCH(QString, label);
    QFETCH(QString, soPin);
    QFETCH(int, soMin);
    QFETCH(int, soMax);
    QFETCH(QString, userPin);
    QFETCH(QString, message);
    const VToken t = TokenFixture::token(0);
    showPage(t);
    text("edtInit_KeyName")->setMaxLength(64);
    text("edtInit_KeyName")->setText(label);
    text("edtInit_SPIN")->setText(soPin);
    spin("edtInit_SOPINlenMin")->setValue(soMin);
    spin("edtInit_SOPINlenMax")->setValue(soMax);
    text("edtInit_UPIN")->setText(userPin);
    m_dialogs->setNextAnswer(false);
    m_page->initAction()->trigger();
    QCOMPARE(m_dialogs->texts(), QStringList{message.isEmpty() ? kQuestion : message});
    QCOMPARE(ConnectedToken::stored(t).label, t.label);
}

void TstInit::initializeAnInitializedToken()
{
    VToken t = TokenFixture::token(0);
    VToken::Container box = TokenFixture::container("box");
    box.signature = TokenFixture::half(QStringLiteral("user"));
    t.containers << box;
    showPage(t);
    {
        QFile old(defaultsPath());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("[InitData]\nISOFile=/tmp/old.iso\n");
    }
    QFile::setPermissions(defaultsPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadOther | QFileDevice::ReadGroup);
    m_page->fill();
    text("edtInit_KeyName")->setText(QStringLiteral("Fresh"));
    text("edtInit_SPIN")->setText(QStringLiteral("newsopin"));
    text("edtInit_UPIN")->setText(QStringLiteral("newuser1"));
    spin("edtInit_PINlenMin")->setValue(6);
    spin("edtInit_MaxCount")->setValue(5);
    spin("edtInit_MaxCount_SOPIN")->setValue(7);
    QSignalSpy initialized(m_page.get(), &TInitPage::initialized);
    m_dialogs->setNextAnswer(true);
    m_dialogs->setNextSoPin(QStringLiteral("  ") + kSoPin + QStringLiteral(" "));

    m_page->initAction()->trigger();

    QCOMPARE(m_dialogs->texts(), QStringList({kQuestion, kDone}));
    QCOMPARE(m_dialogs->soPinRequests().size(), 1);
    QCOMPARE(m_dialogs->soPinRequests().first().caption, QStringLiteral("验证SO PIN"));
    QCOMPARE(m_dialogs->soPinRequests().first().prompt, QStringLiteral("请输入SO PIN:"));
    QCOMPARE(initialized.size(), 1);
    const VToken after = ConnectedToken::stored(t);
    QCOMPARE(after.label, QByteArray("Fresh"));
    QVERIFY(after.containers.isEmpty());
    QVERIFY(VToken::checkPin(after.soPin, "newsopin"));
    QVERIFY(VToken::checkPin(after.userPin, "newuser1"));
    QCOMPARE(after.userPin.minLength, 6);
    QCOMPARE(after.userPin.maxTries, 5);
    QCOMPARE(after.soPin.maxTries, 7);

    // The defaults file holds the values used, readable by its owner only.
    QCOMPARE(QFile::permissions(defaultsPath()) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    TInitDefaults back;
    QVERIFY(back.read(defaultsPath()));
    QCOMPARE(back.LabelName, QStringLiteral("Fresh"));
    QCOMPARE(back.default_sopin, QStringLiteral("newsopin"));
    QCOMPARE(back.minUPINLen, 6);
    QCOMPARE(back.ISOFile, QString());
    QCOMPARE(back.F_AdminRetryTimes, 10);
    QCOMPARE(back.F_UserLevel, 1);
}

void TstInit::initializeANewTokenAsksNothing()
{
    VToken t = TokenFixture::token(0);
    t.initialized = false;
    showPage(t);
    m_page->initAction()->trigger();
    QCOMPARE(m_dialogs->texts(), QStringList{kDone});
    QVERIFY(m_dialogs->soPinRequests().isEmpty());
    QVERIFY(ConnectedToken::stored(t).initialized);
    QVERIFY(VToken::checkPin(ConnectedToken::stored(t).soPin, "qzrbn"));
    QCOMPARE(QFile::permissions(defaultsPath()) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
}

void TstInit::defaultsFileInTheWay_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("saved");
    // Defaults that cannot be saved are reported, not passed off as success.
    QTest::newRow("too large to rewrite") << "large" << false;
    QTest::newRow("a folder") << "folder" << false;
    // A link in its place is replaced by the file; what it points to is neither written nor made.
    QTest::newRow("link to another file") << "link" << true;
    QTest::newRow("dangling link") << "dangling" << true;
}

void TstInit::defaultsFileInTheWay()
{
    QFETCH(QString, kind);
    QFETCH(bool, saved);
    VToken t = TokenFixture::token(0);
    t.initialized = false;
    showPage(t);
    const QString elsewhere = m_env->path(QStringLiteral("elsewhere.txt"));
    const QByteArray keep = "not the defaults\n";
    if (kind == QLatin1String("large")) {
        QFile big(defaultsPath());
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(TIniFile::MaxFileSize + 1));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(defaultsPath()));
    } else {
        if (kind == QLatin1String("link")) {
            QFile other(elsewhere);
            QVERIFY(other.open(QIODevice::WriteOnly) && other.write(keep) == keep.size());
            other.close();
            QVERIFY(QFile::setPermissions(elsewhere, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                         QFileDevice::ReadGroup | QFileDevice::ReadOther));
        }
        QVERIFY(QFile::link(elsewhere, defaultsPath()));
    }
    const QFileDevice::Permissions elsewherePermissions = QFile::permissions(elsewhere);

    m_page->initAction()->trigger();

    QVERIFY(ConnectedToken::stored(t).initialized);
    if (!saved) {
        QCOMPARE(m_dialogs->texts(),
                 QStringList{QStringLiteral("USBKey已初始化，但无法保存初始化默认值： ") + defaultsPath()});
        QVERIFY(kind != QLatin1String("large") ||
                QFileInfo(defaultsPath()).size() == TIniFile::MaxFileSize + 1);
        return;
    }
    QCOMPARE(m_dialogs->texts(), QStringList{kDone});
    const QFileInfo written(defaultsPath());
    QVERIFY(!written.isSymLink() && written.isFile());
    QCOMPARE(written.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    TInitDefaults back;
    QVERIFY(back.read(defaultsPath()));
    QCOMPARE(back.default_sopin, QStringLiteral("qzrbn"));
    if (kind == QLatin1String("link")) {
        QFile other(elsewhere);
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), keep);
        QCOMPARE(QFile::permissions(elsewhere), elsewherePermissions);
    } else {
        QVERIFY(!QFileInfo::exists(elsewhere));
    }
    // No temporary file is left beside it.
    QCOMPARE(QDir(m_env->appDir()).entryList({QStringLiteral("Initconfig.ini*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Initconfig.ini")});
}

void TstInit::soPinDialog_data()
{
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("soTries");
    QTest::addColumn<QString>("answer"); // the dialog returns the empty initial text when cancelled
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("triesAfter");
    QTest::newRow("declined") << false << 10 << kSoPin << QStringList{kQuestion} << 10;
    QTest::newRow("cancelled") << true << 10 << "" << QStringList{kQuestion} << 10;
    QTest::newRow("blanks") << true << 10 << "   " << QStringList{kQuestion} << 10;
    QTest::newRow("wrong, 2 left") << true << 3 << "wrongpin"
                                   << QStringList{kQuestion, QStringLiteral("原口令不正确,您还有2次重试机会")}
                                   << 2;
    QTest::newRow("wrong, the last try")
        << true << 1 << "wrongpin" << QStringList{kQuestion, QStringLiteral("USBKey已锁死")} << 0;
    QTest::newRow("locked") << true << 0 << kSoPin << QStringList{kQuestion, QStringLiteral("USBKey已锁死")}
                            << 0;
}

void TstInit::soPinDialog()
{
    QFETCH(bool, yes);
    QFETCH(int, soTries);
    QFETCH(QString, answer);
    QFETCH(QStringList, messages);
    QFETCH(int, triesAfter);
    VToken t = TokenFixture::token(0);
    t.soPin.triesLeft = soTries;
    showPage(t);
    m_dialogs->setNextAnswer(yes);
    m_dialogs->setNextSoPin(answer);
    m_page->initAction()->trigger();
    QCOMPARE(m_dialogs->texts(), messages);
    const VToken after = ConnectedToken::stored(t);
    QCOMPARE(after.soPin.triesLeft, triesAfter);
    QCOMPARE(after.label, t.label);
    QVERIFY(!QFile::exists(defaultsPath()));
}

QTEST_MAIN(TstInit)
#include "tst_init.moc"
