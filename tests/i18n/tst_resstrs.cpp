// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"
#include "i18n/CaptionApplier.h"
#include "i18n/ResStrs.h"
#include "platform/TIniFile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kLanguages = QStringLiteral(QX_LANGUAGES_DIR "/");

// A language file with the given lines in section Caption, in the system code page.
QString writeLanguageFile(const TestEnv& env, const QString& lines)
{
    const QString path = env.path(QStringLiteral("test.lng"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    f.write((u"[Caption]\r\n"_s + lines).toUtf8());
    return path;
}

QStringList placeholders(const QString& text)
{
    static const QRegularExpression re(QStringLiteral("%[-+ #0]*[0-9]*(?:\\.[0-9]+)?[a-zA-Z]"));
    QStringList found;
    for (auto it = re.globalMatch(text); it.hasNext();)
        found.append(it.next().captured());
    return found;
}

} // namespace

class TestResStrs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { ResStrs::resetToDefaults(); }
    void cleanupTestCase() { ResStrs::resetToDefaults(); }

    void builtInTexts_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("title") << "P_MSGTitle"_ba << u"提示"_s;
        QTest::newRow("caption keeps trailing blanks") << "P_Caption"_ba << u"PKI管理工具   "_s;
        QTest::newRow("error code part spacing") << "K_ErrorCODE_Str"_ba << u" ErrorCode :String= "_s;
        QTest::newRow("misspelt key") << "Lonin_Form_lable_Key"_ba << u"口令："_s;
        QTest::newRow("misspelt key 2") << "Main_Form_ListView_ITem2"_ba << u"值"_s;
        QTest::newRow("format placeholder") << "P_FormatError"_ba << u"操作失败(0x%.8x)"_s;
        QTest::newRow("half-width comma") << "K_OldCheck"_ba << u"原口令不正确,您还有%d次重试机会"_s;
        QTest::newRow("font") << "FontName"_ba << u"宋体"_s;
    }

    void builtInTexts()
    {
        QFETCH(QByteArray, key);
        QFETCH(QString, expected);
        QCOMPARE(ResStrs::text(key.constData()), expected);
    }

    void everyKeyIsKnownOnce()
    {
        const QStringList keys = ResStrs::allKeys();
        QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());
        for (const QString& key : keys)
            QVERIFY2(ResStrs::hasKey(key.toLatin1().constData()), qPrintable(key));
        for (const QString& key : ResStrs::textKeys())
            QVERIFY2(!ResStrs::builtInText(key.toLatin1().constData()).isEmpty(), qPrintable(key));
        QVERIFY(!ResStrs::hasKey("K_PIN_Eror"));
        QVERIFY(!ResStrs::hasKey(nullptr));
    }

    void missingFileKeepsBuiltIns()
    {
        TestEnv env;
        ResStrs::load(env.path(QStringLiteral("none.lng")));
        ResStrs::load(env.path(QString())); // a folder is no language file either
        QCOMPARE(ResStrs::text("K_PIN_Error"), u"口令不正确"_s);
        QCOMPARE(ResStrs::text("K_Init_Info"), u"初始化后USBKey中证书将清除"_s);
        for (const QString& key : ResStrs::switchKeys())
            QCOMPARE(ResStrs::switchValue(key.toLatin1().constData()), 0);
        QVERIFY(!ResStrs::switchOn("config_Cert_Output"));
    }

    void loadedTexts_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("loaded value") << u"K_PIN_Error=Wrong PIN\r\n"_s << "K_PIN_Error"_ba << u"Wrong PIN"_s;
        QTest::newRow("absent key gives space") << u"P_MSGTitle=x\r\n"_s << "K_PIN_Error"_ba << u" "_s;
        QTest::newRow("absent key gives empty") << u"P_MSGTitle=x\r\n"_s << "K_Init_Info"_ba << QString();
        QTest::newRow("empty value stays empty") << u"K_PIN_Error=\r\n"_s << "K_PIN_Error"_ba << QString();
        QTest::newRow("unquoted caption loses blanks")
            << u"P_Caption=PKI管理工具   \r\n"_s << "P_Caption"_ba << u"PKI管理工具"_s;
        QTest::newRow("quoted caption keeps blanks")
            << u"P_Caption=\"PKI管理工具   \"\r\n"_s << "P_Caption"_ba << u"PKI管理工具   "_s;
        QTest::newRow("key name case ignored") << u"k_pin_error=w\r\n"_s << "K_PIN_Error"_ba << u"w"_s;
        QTest::newRow("misspelt key read as spelt")
            << u"P_Resporse=Response\r\n"_s << "P_Resporse"_ba << u"Response"_s;
    }

    void loadedTexts()
    {
        QFETCH(QString, lines);
        QFETCH(QByteArray, key);
        QFETCH(QString, expected);
        TestEnv env;
        ResStrs::load(writeLanguageFile(env, lines));
        QCOMPARE(ResStrs::text(key.constData()), expected);
    }

    void fileWithoutCaptionSectionBlanksTexts()
    {
        TestEnv env;
        const QString path = env.path(QStringLiteral("other.lng"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Other]\nK_PIN_Error=x\n");
        f.close();
        ResStrs::load(path);
        QCOMPARE(ResStrs::text("K_PIN_Error"), u" "_s);
        QCOMPARE(ResStrs::text("F_Input_OK"), QString());
    }

    void switches_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("on");
        QTest::newRow("absent export switch offers export")
            << QString() << "config_Cert_Output"_ba << 1 << true;
        QTest::newRow("absent delete switch") << QString() << "config_Cert_Del"_ba << 0 << false;
        QTest::newRow("hexadecimal") << u"config_Cert_Del=0x1\r\n"_s << "config_Cert_Del"_ba << 1 << true;
        QTest::newRow("upper-case hex prefix")
            << u"config_Cont_Del=0X10\r\n"_s << "config_Cont_Del"_ba << 16 << true;
        QTest::newRow("low 8 bits zero")
            << u"config_Cert_Input=256\r\n"_s << "config_Cert_Input"_ba << 256 << false;
        QTest::newRow("negative") << u"config_Cert_Input=-1\r\n"_s << "config_Cert_Input"_ba << -1 << true;
        QTest::newRow("zero turns export off")
            << u"config_Cert_Output=0\r\n"_s << "config_Cert_Output"_ba << 0 << false;
        QTest::newRow("bad value gives default")
            << u"config_Cert_Output=yes\r\n"_s << "config_Cert_Output"_ba << 1 << true;
        QTest::newRow("bad value gives default off")
            << u"config_Cert_Del=1x\r\n"_s << "config_Cert_Del"_ba << 0 << false;
    }

    void switches()
    {
        QFETCH(QString, lines);
        QFETCH(QByteArray, key);
        QFETCH(int, value);
        QFETCH(bool, on);
        TestEnv env;
        ResStrs::load(writeLanguageFile(env, lines));
        QCOMPARE(ResStrs::switchValue(key.constData()), value);
        QCOMPARE(ResStrs::switchOn(key.constData()), on);
    }

    void resetToDefaultsUndoesLoad()
    {
        TestEnv env;
        ResStrs::load(writeLanguageFile(env, u"config_Cert_Del=1\r\n"_s));
        QCOMPARE(ResStrs::text("P_MSGTitle"), u" "_s);
        ResStrs::resetToDefaults();
        QCOMPARE(ResStrs::text("P_MSGTitle"), u"提示"_s);
        QCOMPARE(ResStrs::switchValue("config_Cert_Del"), 0);
    }

    void formatText_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("count") << u"您还有%d次机会"_s << qint64(3) << u"您还有3次机会"_s;
        QTest::newRow("status in hex")
            << u"操作失败(0x%.8x)"_s << qint64(0x0A000025) << u"操作失败(0x0A000025)"_s;
        QTest::newRow("hex shows 32 bits") << u"%.8X"_s << qint64(-1) << u"FFFFFFFF"_s;
        QTest::newRow("unsigned shows 32 bits") << u"%u"_s << qint64(-1) << u"4294967295"_s;
        QTest::newRow("negative decimal") << u"= %d"_s << qint64(-5) << u"= -5"_s;
        QTest::newRow("precision pads with zeros") << u"%.2d"_s << qint64(5) << u"05"_s;
        QTest::newRow("width") << u"[%5d]"_s << qint64(42) << u"[   42]"_s;
        QTest::newRow("left aligned") << u"[%-5d]"_s << qint64(42) << u"[42   ]"_s;
        QTest::newRow("zero flag") << u"%05d"_s << qint64(-42) << u"-0042"_s;
        QTest::newRow("percent sign") << u"%d%%"_s << qint64(50) << u"50%"_s;
        QTest::newRow("lone percent at end") << u"直到进度达到100%"_s << qint64(1) << u"直到进度达到100%"_s;
        QTest::newRow("only the first conversion") << u"%d %d"_s << qint64(7) << u"7 %d"_s;
        QTest::newRow("string conversion stays") << u"%s and %d"_s << qint64(7) << u"%s and 7"_s;
        QTest::newRow("hostile conversions stay") << u"%n%p%s"_s << qint64(1) << u"%n%p%s"_s;
        QTest::newRow("huge width is capped")
            << u"%99999999d"_s << qint64(1) << QString(63, QLatin1Char(' ')) + u"1"_s;
        QTest::newRow("unfinished conversion") << u"x%.5"_s << qint64(1) << u"x%.5"_s;
    }

    void formatText()
    {
        QFETCH(QString, pattern);
        QFETCH(qint64, value);
        QFETCH(QString, expected);
        QCOMPARE(ResStrs::formatText(pattern, value), expected);
    }

    void formatUsesTheLoadedText()
    {
        TestEnv env;
        ResStrs::load(writeLanguageFile(env, u"K_Try_Time=%d tries left %s\r\n"_s));
        QCOMPARE(ResStrs::format("K_Try_Time", 2), u"2 tries left %s"_s);
    }

    void languageFileName_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("file");
        QTest::newRow("english") << 1033 << u"EN_1033.lng"_s;
        QTest::newRow("chinese") << 2052 << u"CHS_2052.lng"_s;
        QTest::newRow("none") << 0 << u"CHS_2052.lng"_s;
        QTest::newRow("japanese") << 1041 << u"CHS_2052.lng"_s;
    }

    void languageFileName()
    {
        QFETCH(int, id);
        QFETCH(QString, file);
        QCOMPARE(ResStrs::languageFileName(id), file);
    }

    // The shipped Chinese file is generated from the built-in table: loading it must change nothing
    // but the switches, which it turns on.
    void chineseFileMatchesBuiltIns()
    {
        const QString path = kLanguages + u"CHS_2052.lng"_s;
        const TIniFile file(path);
        QCOMPARE(file.encoding(), TIniFile::Encoding::Utf16LE);
        ResStrs::load(path);
        // A label that gets an ASCII colon after its text is given without its full-width one.
        const QStringList colonKeys = CaptionApplier::colonKeys();
        QVERIFY(colonKeys.contains(u"UPINSet_Form_OldPIN"_s));
        for (const QString& key : ResStrs::textKeys()) {
            const QByteArray k = key.toLatin1();
            QVERIFY2(file.hasKey(u"Caption"_s, key), k.constData());
            QString builtIn = ResStrs::builtInText(k.constData());
            if (colonKeys.contains(key) && builtIn.endsWith(u'\uff1a'))
                builtIn.chop(1);
            QCOMPARE(ResStrs::text(k.constData()), builtIn);
        }
        for (const QString& key : ResStrs::switchKeys())
            QCOMPARE(ResStrs::switchValue(key.toLatin1().constData()), 1);
        QCOMPARE(file.keys(u"Caption"_s), ResStrs::allKeys());
    }

    void englishFileIsComplete()
    {
        const QString path = kLanguages + u"EN_1033.lng"_s;
        const TIniFile file(path);
        const QStringList all = ResStrs::allKeys();
        // Every key of the file is a catalog key, spelt as the catalog spells it.
        for (const QString& key : file.keys(u"Caption"_s))
            QVERIFY2(all.contains(key), qPrintable(key));
        ResStrs::load(path);
        for (const QString& key : ResStrs::textKeys()) {
            const QByteArray k = key.toLatin1();
            QVERIFY2(file.hasKey(u"Caption"_s, key), k.constData());
            const QString english = ResStrs::text(k.constData());
            QVERIFY2(!english.trimmed().isEmpty(), k.constData());
            QCOMPARE(placeholders(english), placeholders(ResStrs::builtInText(k.constData())));
        }
        for (const QString& key : ResStrs::switchKeys())
            QCOMPARE(ResStrs::switchValue(key.toLatin1().constData()), 1);
        QVERIFY(ResStrs::text("P_Caption").endsWith(u"   "_s));
        bool ok = false;
        QVERIFY(ResStrs::text("FontSize").toInt(&ok) > 0 && ok);
    }

    void placeholdersAreFound()
    {
        QCOMPARE(placeholders(u"操作失败(0x%.8x)"_s), QStringList{u"%.8x"_s});
        QCOMPARE(placeholders(u"a %d b %s"_s), (QStringList{u"%d"_s, u"%s"_s}));
        QCOMPARE(placeholders(u"直到进度达到100%"_s), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestResStrs)
#include "tst_resstrs.moc"
