// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"
#include "platform/TIniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray utf16le(const QString& text)
{
    QStringEncoder enc(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    return enc.encode(text);
}

QByteArray utf16leNoBom(const QString& text)
{
    QStringEncoder enc(QStringConverter::Utf16LE);
    return enc.encode(text);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString kDefault = QStringLiteral("<default>");

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Every row looks up key "K" of section "Caption".
    void readString_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("expected");

        QTest::newRow("utf16le with bom") << utf16le(u"[Caption]\r\nK=提示\r\n"_s) << u"提示"_s;
        QTest::newRow("system code page") << u"[Caption]\r\nK=提示\r\n"_s.toUtf8() << u"提示"_s;
        QTest::newRow("utf8 with bom") << QByteArray("\xEF\xBB\xBF[Caption]\nK=v\n") << u"v"_s;
        QTest::newRow("utf16 without bom is not understood")
            << utf16leNoBom(u"[Caption]\r\nK=v\r\n"_s) << kDefault;
        QTest::newRow("names ignore case") << QByteArray("[cAPTION]\nk=v\n") << u"v"_s;
        QTest::newRow("blanks around key and value")
            << QByteArray("[Caption]\n \tK \t=  a b \t\n") << u"a b"_s;
        QTest::newRow("double quotes keep blanks") << QByteArray("[Caption]\nK=\"  a  \"\n") << u"  a  "_s;
        QTest::newRow("single quotes keep blanks") << QByteArray("[Caption]\nK='x '\n") << u"x "_s;
        QTest::newRow("blanks outside quotes") << QByteArray("[Caption]\nK=  \" a \"  \n") << u" a "_s;
        QTest::newRow("only one pair of quotes") << QByteArray("[Caption]\nK=\"\"x\"\"\n") << u"\"x\""_s;
        QTest::newRow("mismatched quotes stay") << QByteArray("[Caption]\nK=\"x'\n") << u"\"x'"_s;
        QTest::newRow("lone quote stays") << QByteArray("[Caption]\nK=\"\n") << u"\""_s;
        QTest::newRow("empty value is not missing") << QByteArray("[Caption]\nK=\n") << QString();
        QTest::newRow("equals sign in value") << QByteArray("[Caption]\nK=a=b\n") << u"a=b"_s;
        QTest::newRow("first duplicate wins") << QByteArray("[Caption]\nK=first\nk=second\n") << u"first"_s;
        QTest::newRow("repeated section adds keys")
            << QByteArray("[Caption]\nA=1\n[Other]\nK=no\n[caption]\nK=yes\n") << u"yes"_s;
        QTest::newRow("key of another section") << QByteArray("[Other]\nK=v\n") << kDefault;
        QTest::newRow("missing key") << QByteArray("[Caption]\nA=v\n") << kDefault;
        QTest::newRow("key before any section") << QByteArray("K=v\n[Caption]\n") << kDefault;
        QTest::newRow("comment line") << QByteArray("[Caption]\n;K=v\n") << kDefault;
        QTest::newRow("line without equals sign") << QByteArray("[Caption]\nK\n") << kDefault;
        QTest::newRow("text after header") << QByteArray("[Caption] ; note\nK=v\n") << u"v"_s;
        QTest::newRow("cr line ends") << QByteArray("[Caption]\rA=1\rK=v\r") << u"v"_s;
        QTest::newRow("no final line end") << QByteArray("[Caption]\r\nK=v") << u"v"_s;
        QTest::newRow("empty file") << QByteArray() << kDefault;
        QTest::newRow("binary junk") << QByteArray("\0\xFF[\0]=\x80\n\xC3", 9) << kDefault;

        const QByteArray longValue(100000, 'a');
        QTest::newRow("value cut after 2047")
            << QByteArray("[Caption]\nK=" + longValue + "\n") << QString(2047, QLatin1Char('a'));
        QTest::newRow("2047 kept whole")
            << QByteArray("[Caption]\nK=" + longValue.left(2047) + "\n") << QString(2047, QLatin1Char('a'));
        QTest::newRow("cut after quotes removed")
            << QByteArray("[Caption]\nK=\"" + QByteArray(2046, ' ') + "bc\"\n")
            << QString(2046, QLatin1Char(' ')) + QLatin1Char('b');
        QTest::newRow("cut never splits a surrogate pair")
            << (u"[Caption]\nK="_s + QString(2046, QLatin1Char('a')) + u"😀"_s).toUtf8()
            << QString(2046, QLatin1Char('a'));
    }

    void readString()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);
        TestEnv env;
        const QString path = env.path(QStringLiteral("t.ini"));
        writeFile(path, file);
        const TIniFile ini(path);
        QVERIFY(ini.exists());
        QCOMPARE(ini.readString(u"Caption"_s, u"K"_s, kDefault), expected);
        QCOMPARE(ini.hasKey(u"Caption"_s, u"K"_s), expected != kDefault);
    }

    void missingFileGivesDefaults()
    {
        TestEnv env;
        const TIniFile ini(env.path(QStringLiteral("none.ini")));
        QVERIFY(!ini.exists());
        QCOMPARE(ini.readString(u"Caption"_s, u"K"_s, kDefault), kDefault);
        QCOMPARE(ini.readInt(u"Caption"_s, u"K"_s, 7), 7);
    }

    void keysInFileOrder()
    {
        TestEnv env;
        const QString path = env.path(QStringLiteral("t.ini"));
        writeFile(path, "[S]\nb=1\na=2\nB=3\n[s]\nc=4\n");
        QCOMPARE(TIniFile(path).keys(u"S"_s), (QStringList{u"b"_s, u"a"_s, u"c"_s}));
    }

    void readInt_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("expected");
        const int def = -77;
        QTest::newRow("decimal") << u"12"_s << 12;
        QTest::newRow("negative") << u"-3"_s << -3;
        QTest::newRow("plus sign") << u"+4"_s << 4;
        QTest::newRow("blanks") << u"  7  "_s << 7;
        QTest::newRow("quoted") << u"\"5\""_s << 5;
        QTest::newRow("hex lower prefix") << u"0x1"_s << 1;
        QTest::newRow("hex upper prefix") << u"0X1f"_s << 31;
        QTest::newRow("hex wraps to signed") << u"0xFFFFFFFF"_s << -1;
        QTest::newRow("hex too long") << u"0x100000000"_s << def;
        QTest::newRow("hex without digits") << u"0x"_s << def;
        QTest::newRow("hex junk") << u"0x1g"_s << def;
        QTest::newRow("trailing junk") << u"12abc"_s << def;
        QTest::newRow("fraction") << u"1.5"_s << def;
        QTest::newRow("words") << u"abc"_s << def;
        QTest::newRow("empty") << QString() << def;
        QTest::newRow("int max") << u"2147483647"_s << 2147483647;
        QTest::newRow("out of range") << u"2147483648"_s << def;
    }

    void readInt()
    {
        QFETCH(QString, value);
        QFETCH(int, expected);
        TestEnv env;
        const QString path = env.path(QStringLiteral("t.ini"));
        writeFile(path, (u"[S]\nK="_s + value + u"\n"_s).toUtf8());
        QCOMPARE(TIniFile(path).readInt(u"S"_s, u"K"_s, -77), expected);
    }

    void writeKeepsFile_data()
    {
        QTest::addColumn<QByteArray>("before"); // empty: no file
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        QTest::newRow("replace in utf16 file")
            << utf16le(u"; note\r\n[A]\r\nk=1\r\n[B]\r\nx=2\r\n"_s) << u"a"_s << u"K"_s << u"提示"_s
            << utf16le(u"; note\r\n[A]\r\nk=提示\r\n[B]\r\nx=2\r\n"_s);
        QTest::newRow("add to section before its blank line")
            << QByteArray("[A]\nx=1\n\n[B]\ny=2\n") << u"A"_s << u"z"_s << u"3"_s
            << QByteArray("[A]\nx=1\nz=3\n\n[B]\ny=2\n");
        QTest::newRow("new section at the end")
            << QByteArray("[A]\nx=1\n") << u"B"_s << u"y"_s << u"2"_s << QByteArray("[A]\nx=1\n\n[B]\ny=2\n");
        QTest::newRow("new file") << QByteArray() << u"A"_s << u"k"_s << u"v"_s
                                  << QByteArray("[A]\r\nk=v\r\n");
        QTest::newRow("outer blanks quoted")
            << QByteArray("[A]\nk=1\n") << u"A"_s << u"k"_s << u" v "_s << QByteArray("[A]\nk=\" v \"\n");
        QTest::newRow("replace the occurrence a reader finds")
            << QByteArray("[A]\nx=1\n[A]\nk=1\nk=2\n") << u"A"_s << u"k"_s << u"3"_s
            << QByteArray("[A]\nx=1\n[A]\nk=3\nk=2\n");
        QTest::newRow("no final line end kept")
            << QByteArray("[A]\r\nk=1") << u"A"_s << u"k"_s << u"2"_s << QByteArray("[A]\r\nk=2");
    }

    void writeKeepsFile()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        TestEnv env;
        const QString path = env.path(QStringLiteral("t.ini"));
        if (!before.isEmpty())
            writeFile(path, before);
        TIniFile ini(path);
        QVERIFY(ini.writeString(section, key, value));
        QCOMPARE(readFile(path), after);
        QCOMPARE(ini.readString(section, key), value);
    }

    void writeStringsInOneSave()
    {
        TestEnv env;
        const QString path = env.path(QStringLiteral("t.ini"));
        writeFile(path, "[Data]\r\nName=x\r\n[Other]\r\nk=1\r\n");
        TIniFile ini(path);
        QVERIFY(
            ini.writeStrings(u"Data"_s, {{u"Name"_s, u"a"_s}, {u"Maker"_s, u" b"_s}, {u"Tries"_s, u"10"_s}}));
        QCOMPARE(readFile(path),
                 QByteArray("[Data]\r\nName=a\r\nMaker=\" b\"\r\nTries=10\r\n[Other]\r\nk=1\r\n"));
        // One value the format cannot hold refuses the whole batch.
        QVERIFY(!ini.writeStrings(u"Data"_s, {{u"Name"_s, u"c"_s}, {u"Bad"_s, u"x\ny"_s}}));
        QCOMPARE(TIniFile(path).readString(u"Data"_s, u"Name"_s), u"a"_s);
    }

    void writeReadsBack_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("plain") << u"plain"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("leading blanks") << u"  lead"_s;
        QTest::newRow("trailing blanks") << u"PKI管理工具   "_s;
        QTest::newRow("looks quoted") << u"\"q\""_s;
        QTest::newRow("looks single quoted") << u"'q'"_s;
        QTest::newRow("one quote") << u"\"q"_s;
        QTest::newRow("equals sign") << u"a=b"_s;
        QTest::newRow("semicolon") << u";x"_s;
    }

    void writeReadsBack()
    {
        QFETCH(QString, value);
        TestEnv env;
        const QString path = env.path(QStringLiteral("t.ini"));
        writeFile(path, utf16le(u"[Caption]\r\nK=old\r\n"_s));
        QVERIFY(TIniFile(path).writeString(u"Caption"_s, u"K"_s, value));
        const TIniFile reread(path);
        QCOMPARE(reread.encoding(), TIniFile::Encoding::Utf16LE);
        QCOMPARE(reread.readString(u"Caption"_s, u"K"_s, kDefault), value);
    }

    // Text the system code page cannot hold is not dropped: the file moves to UTF-16.
    void writeUnencodableTextSwitchesToUtf16()
    {
        TestEnv env;
        const QString path = env.path(QStringLiteral("t.ini"));
        writeFile(path, "[A]\nk=1\n");
        const QString value = u"x"_s + QChar(0xD800) + u"y"_s;
        QVERIFY(TIniFile(path).writeString(u"A"_s, u"k"_s, value));
        const TIniFile reread(path);
        QCOMPARE(reread.encoding(), TIniFile::Encoding::Utf16LE);
        QCOMPARE(reread.readString(u"A"_s, u"k"_s), value);
    }

    void writeRefusesWhatTheFormatCannotHold_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("line break in value") << u"A"_s << u"k"_s << u"x\ny"_s;
        QTest::newRow("carriage return in value") << u"A"_s << u"k"_s << u"x\ry"_s;
        QTest::newRow("equals sign in key") << u"A"_s << u"k=j"_s << u"v"_s;
        QTest::newRow("empty key") << u"A"_s << u" "_s << u"v"_s;
        QTest::newRow("comment key") << u"A"_s << u";k"_s << u"v"_s;
        QTest::newRow("bracket in section") << u"A]B"_s << u"k"_s << u"v"_s;
        QTest::newRow("empty section") << QString() << u"k"_s << u"v"_s;
    }

    void writeRefusesWhatTheFormatCannotHold()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        TestEnv env;
        const QString path = env.path(QStringLiteral("t.ini"));
        const QByteArray before("[A]\nk=1\n");
        writeFile(path, before);
        QVERIFY(!TIniFile(path).writeString(section, key, value));
        QCOMPARE(readFile(path), before);
    }

    void writeFailsWithoutFolder()
    {
        TestEnv env;
        TIniFile ini(env.path(QStringLiteral("missing/t.ini")));
        QVERIFY(!ini.writeString(u"A"_s, u"k"_s, u"v"_s));
        QVERIFY(!QFile::exists(env.path(QStringLiteral("missing/t.ini"))));
    }

    void unreadablePathIsNeverWritten()
    {
        TestEnv env;
        const QString path = env.path(QStringLiteral("adir"));
        QVERIFY(QDir().mkpath(path));
        TIniFile ini(path);
        QVERIFY(ini.exists());
        QVERIFY(!ini.isReadable());
        QVERIFY(!ini.writeString(u"A"_s, u"k"_s, u"v"_s));
        QVERIFY(QFileInfo(path).isDir());
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
