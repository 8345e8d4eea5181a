// SPDX-License-Identifier: BSD-3-Clause
#include "RecordingShell.h"
#include "TestEnv.h"
#include "app/OpenWebAddress.h"
#include "i18n/ResStrs.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(TConfigInfo)

namespace {

const char* const kFull = //
    "<?xml version=\"1.0\"?>\n"
    "<Config>\n"
    "  <BaseInfo>\n"
    "    <OpenURL OpenMode=\"1\" URL=\"http://example.test/\" BrowserMode=\"2\"/>\n"
    "    <CertEndDay CertDayMode=\"3\" CertDay=\"30\"/>\n"
    "    <LanguageID>1033</LanguageID>\n"
    "    <DefaultPIN>0</DefaultPIN>\n"
    "  </BaseInfo>\n"
    "</Config>";

TConfigInfo config(qint32 openMode, const QString& url, qint32 browserMode, qint32 certDayMode,
                   qint32 certDay, qint32 languageId, qint32 defaultPin)
{
    TConfigInfo c;
    c.OpenMode = openMode;
    c.URL = url;
    c.BrowserMode = browserMode;
    c.CertDayMode = certDayMode;
    c.CertDay = certDay;
    c.LanguageID = languageId;
    c.DefaultPIN = defaultPin;
    return c;
}

TConfigInfo withModule(TConfigInfo c, const QString& module)
{
    c.PKCS11Module = module;
    return c;
}

// Base64 with a line break every 76 characters, as encoders commonly write it.
QByteArray encode(const QByteArray& xml)
{
    const QByteArray b64 = xml.toBase64();
    QByteArray out;
    for (qsizetype i = 0; i < b64.size(); i += 76)
        out += b64.mid(i, 76) + "\r\n";
    return out;
}

QByteArray replaced(const char* from, const char* to)
{
    return QByteArray(kFull).replace(from, to);
}

QString writeFile(const TestEnv& env, const QByteArray& content)
{
    const QString path = env.settingsDir() + QLatin1String(SettingsFile::FileName);
    QDir().mkpath(env.settingsDir());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        qFatal("cannot write the fixture");
    return path;
}

void compareConfig(const TConfigInfo& actual, const TConfigInfo& expected)
{
    QCOMPARE(actual.OpenMode, expected.OpenMode);
    QCOMPARE(actual.URL, expected.URL);
    QCOMPARE(actual.BrowserMode, expected.BrowserMode);
    QCOMPARE(actual.CertDayMode, expected.CertDayMode);
    QCOMPARE(actual.CertDay, expected.CertDay);
    QCOMPARE(actual.LanguageID, expected.LanguageID);
    QCOMPARE(actual.DefaultPIN, expected.DefaultPIN);
    QCOMPARE(actual.PKCS11Module, expected.PKCS11Module);
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { ResStrs::resetToDefaults(); }

    // Documents, Base64-encoded before they are written.
    void readDocument_data()
    {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<TConfigInfo>("expected");
        const TConfigInfo zero;

        QTest::newRow("all fields") << QByteArray(kFull) << true
                                    << config(1, "http://example.test/", 2, 3, 30, 1033, 0);
        QTest::newRow("any document element, other elements ignored")
            << replaced("Config>", "Anything>").replace("<BaseInfo>", "<BaseInfo><Other a=\"b\"/>") << true
            << config(1, "http://example.test/", 2, 3, 30, 1033, 0);
        QTest::newRow("signed integers and blanks around them")
            << replaced("OpenMode=\"1\"", "OpenMode=\"-7\"")
                   .replace("<LanguageID>1033", "<LanguageID> +2052 ")
            << true << config(-7, "http://example.test/", 2, 3, 30, 2052, 0);
        QTest::newRow("OpenURL lacks OpenMode: all zero") << replaced("OpenMode=\"1\" ", "") << false << zero;
        QTest::newRow("OpenURL missing: all zero") << replaced("<OpenURL", "<Other") << false << zero;
        QTest::newRow("URL missing stops after OpenMode")
            << replaced(" URL=\"http://example.test/\"", "") << false << config(1, "", 0, 0, 0, 0, 0);
        QTest::newRow("blank URL is read")
            << replaced("http://example.test/", "  ") << true << config(1, "  ", 2, 3, 30, 1033, 0);
        QTest::newRow("BrowserMode not a number")
            << replaced("BrowserMode=\"2\"", "BrowserMode=\"two\"") << false
            << config(1, "http://example.test/", 0, 0, 0, 0, 0);
        QTest::newRow("CertDay not a number: language lost")
            << replaced("CertDay=\"30\"", "CertDay=\"30d\"") << false
            << config(1, "http://example.test/", 2, 3, 0, 0, 0);
        QTest::newRow("CertEndDay missing") << replaced("<CertEndDay", "<CertEnd") << false
                                            << config(1, "http://example.test/", 2, 0, 0, 0, 0);
        QTest::newRow("LanguageID not a number")
            << replaced("<LanguageID>1033", "<LanguageID>English") << false
            << config(1, "http://example.test/", 2, 3, 30, 0, 0);
        QTest::newRow("LanguageID empty") << replaced("<LanguageID>1033</LanguageID>", "<LanguageID/>")
                                          << false << config(1, "http://example.test/", 2, 3, 30, 0, 0);
        QTest::newRow("LanguageID beyond 32 bits")
            << replaced("<LanguageID>1033", "<LanguageID>4294968329") << false
            << config(1, "http://example.test/", 2, 3, 30, 0, 0);
        QTest::newRow("LanguageID in hexadecimal")
            << replaced("<LanguageID>1033", "<LanguageID>0x409") << false
            << config(1, "http://example.test/", 2, 3, 30, 0, 0);
        QTest::newRow("DefaultPIN empty yields 1")
            << replaced("<DefaultPIN>0</DefaultPIN>", "<DefaultPIN></DefaultPIN>") << true
            << config(1, "http://example.test/", 2, 3, 30, 1033, 1);
        QTest::newRow("DefaultPIN missing yields 1") << replaced("<DefaultPIN>0</DefaultPIN>", "") << true
                                                     << config(1, "http://example.test/", 2, 3, 30, 1033, 1);
        QTest::newRow("DefaultPIN not a number") << replaced("<DefaultPIN>0", "<DefaultPIN>yes") << false
                                                 << config(1, "http://example.test/", 2, 3, 30, 1033, 0);
        QTest::newRow("BaseInfo below another element is not found")
            << replaced("<BaseInfo>", "<Wrap><BaseInfo>").replace("</BaseInfo>", "</BaseInfo></Wrap>")
            << false << zero;
        QTest::newRow("malformed XML") << replaced("</Config>", "") << false << zero;
        QTest::newRow("not XML at all") << QByteArray("LanguageID=1033") << false << zero;
        QTest::newRow("URL with entities and Chinese")
            << replaced("http://example.test/", "http://例子.test/?a=1&amp;b=2") << true
            << config(1, QStringLiteral("http://例子.test/?a=1&b=2"), 2, 3, 30, 1033, 0);
        const QString softhsm = QStringLiteral("/usr/lib/softhsm/libsofthsm2.so");
        QTest::newRow("PKCS#11 module, blanks trimmed")
            << replaced("<DefaultPIN>",
                        "<PKCS11Module Path=\" /usr/lib/softhsm/libsofthsm2.so \"/><DefaultPIN>")
            << true << withModule(config(1, "http://example.test/", 2, 3, 30, 1033, 0), softhsm);
        QTest::newRow("PKCS#11 module kept when a later field stops the reading")
            << replaced("<BaseInfo>", "<BaseInfo><PKCS11Module Path=\"/usr/lib/softhsm/libsofthsm2.so\"/>")
                   .replace("<LanguageID>1033", "<LanguageID>English")
            << false << withModule(config(1, "http://example.test/", 2, 3, 30, 0, 0), softhsm);
    }
    void readDocument()
    {
        QFETCH(QByteArray, xml);
        QFETCH(bool, ok);
        QFETCH(TConfigInfo, expected);
        TestEnv env;
        const QString path = writeFile(env, encode(xml));
        TConfigInfo actual;
        QCOMPARE(SettingsFile::read(path, actual), ok);
        compareConfig(actual, expected);
        QCOMPARE(SettingsFile::readLanguageId(path), ok ? expected.LanguageID : 0);
    }

    // Files as they lie on disk.
    void readRawFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("languageId");

        const QByteArray good = encode(kFull);
        QTest::newRow("plain XML is not Base64") << QByteArray(kFull) << false << 0;
        QTest::newRow("Base64 in one line") << QByteArray(kFull).toBase64() << true << 1033;
        QTest::newRow("truncated Base64") << good.left(good.size() / 2) << false << 0;
        QTest::newRow("empty file") << QByteArray() << false << 0;
        QByteArray utf16("\xff\xfe");
        for (char c : QByteArray(kFull).toBase64())
            utf16 += QByteArray(1, c) + '\0';
        QTest::newRow("UTF-16 with byte-order mark") << utf16 << true << 1033;
        QTest::newRow("UTF-8 byte-order mark") << QByteArray("\xef\xbb\xbf") + good << true << 1033;
        QByteArray binary(4096, '\0');
        QRandomGenerator gen(42);
        for (char& b : binary)
            b = char(gen.bounded(256));
        QTest::newRow("binary") << binary << false << 0;
        QTest::newRow("padding inside the text") << good.left(8) + "==" + good.mid(8) << false << 0;
        QTest::newRow("10 MB of Base64 letters") << QByteArray(10 * 1024 * 1024, 'A') << false << 0;
    }
    void readRawFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, ok);
        QFETCH(int, languageId);
        TestEnv env;
        const QString path = writeFile(env, content);
        TConfigInfo actual;
        QCOMPARE(SettingsFile::read(path, actual), ok);
        if (!ok)
            compareConfig(actual, TConfigInfo());
        QCOMPARE(SettingsFile::readLanguageId(path), languageId);
    }

    void missingFileLeavesTheRecordUntouched()
    {
        TestEnv env;
        TConfigInfo c = config(5, "keep", 5, 5, 5, 5, 5);
        QVERIFY(!SettingsFile::read(env.settingsDir() + "MgrConfig.ini", c));
        compareConfig(c, config(5, "keep", 5, 5, 5, 5, 5));
        QCOMPARE(SettingsFile::readLanguageId(env.settingsDir() + "MgrConfig.ini"), 0);
    }

    void oversizedFileIsRefusedUnread()
    {
        TestEnv env;
        const QString path = writeFile(env, encode(kFull));
        QFile f(path);
        QVERIFY(f.resize(SettingsFile::MaxFileSize + 1));
        TConfigInfo c;
        QVERIFY(!SettingsFile::read(path, c));
        compareConfig(c, TConfigInfo());
    }

    void unreadableFileFails()
    {
        TestEnv env;
        const QString path = writeFile(env, encode(kFull));
        QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
        if (QFile(path).open(QIODevice::ReadOnly))
            QSKIP("running with rights that read any file");
        TConfigInfo c;
        QVERIFY(!SettingsFile::read(path, c));
        QCOMPARE(SettingsFile::readLanguageId(path), 0);
    }

    // Nothing but a regular file is read; a FIFO must not hold up the start waiting for a writer.
    void notAFileInPlaceOfTheFileFails_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "folder";
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("link to /dev/zero") << "device";
    }
    void notAFileInPlaceOfTheFileFails()
    {
        QFETCH(QString, kind);
        TestEnv env;
        const QString path = env.settingsDir() + QLatin1String(SettingsFile::FileName);
        QVERIFY(QDir().mkpath(env.settingsDir()));
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(path));
        else if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        QCOMPARE(SettingsFile::readLanguageId(path), 0);
        TConfigInfo c;
        QVERIFY(!SettingsFile::read(path, c));
        compareConfig(c, TConfigInfo());
    }

    void openWebAddress_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("browserMode");
        QTest::addColumn<bool>("opened");
        QTest::addColumn<bool>("program");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("mode 0: the desktop's handler")
            << " http://example.test/ " << 0 << true << false << "http://example.test/" << QStringList();
        QTest::newRow("mode 1: the browser program")
            << "http://example.test/" << 1 << true << true << "x-www-browser"
            << QStringList{"http://example.test/"};
        QTest::newRow("mode 2: as mode 1")
            << "\thttp://example.test/\n"
            << 2 << true << true << "x-www-browser" << QStringList{"http://example.test/"};
        QTest::newRow("blanks only: nothing") << "   " << 0 << false << false << QString() << QStringList();
        QTest::newRow("empty: nothing") << "" << 1 << false << false << QString() << QStringList();
    }
    void openWebAddress()
    {
        QFETCH(QString, address);
        QFETCH(int, browserMode);
        QFETCH(bool, opened);
        QFETCH(bool, program);
        QFETCH(QString, target);
        QFETCH(QStringList, arguments);
        RecordingShell shell;
        ::openWebAddress(nullptr, address, browserMode);
        QCOMPARE(shell.requests().size(), opened ? 1 : 0);
        if (!opened)
            return;
        QCOMPARE(shell.requests()[0].program, program);
        QCOMPARE(shell.requests()[0].target, target);
        QCOMPARE(shell.requests()[0].arguments, arguments);
    }

    void installedProvider()
    {
        TestEnv env;
        const QString config = env.path(QStringLiteral("xdgconfig"));
        qputenv("XDG_CONFIG_HOME", config.toLocal8Bit());
        QVERIFY(SettingsFile::installedProvider().isEmpty());
        const QString folder = config + QStringLiteral("/pkcs11/modules/");
        QVERIFY(QDir().mkpath(folder));
        QFile module(folder + ResStrs::text("PROVIDER_NAME") + QStringLiteral(".module"));
        QVERIFY(module.open(QIODevice::WriteOnly));
        module.write("module: q7sec_pkcs11.so\n");
        module.close();
        QCOMPARE(SettingsFile::installedProvider(), QStringLiteral("Vostrel zKeyra Q7Sec CSP V1.1"));
        qunsetenv("XDG_CONFIG_HOME");
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
