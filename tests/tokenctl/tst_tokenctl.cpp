// SPDX-License-Identifier: BSD-3-Clause
// The built tokenctl run as a program on the test's token store; what it writes is read back through
// its own show and list, through the token manager library and through the notices file.
#include "TokenLibraryFixture.h"
#include "TokenMgr.h"
#include "VTokenNotices.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace {

const QString Serial = QStringLiteral("QX41CTLTEST00001");

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

struct Info
{
    QByteArray serial;
    QByteArray label;
    int32_t freeMemory = 0;
    int32_t totalMemory = 0;
    int32_t initialized = 0;
    int32_t finger = 0;
};

} // namespace

class TstTokenCtl : public QObject, protected TokenLibraryFixture
{
    Q_OBJECT

    QString m_tool;

    Run tokenctl(const QStringList& args, const QString& program = QString())
    {
        QProcess p;
        p.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        p.start(program.isEmpty() ? m_tool : program, args);
        Run r;
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
            return r;
        r.code = p.exitCode();
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    // Runs tokenctl with each argument passed through printf first, so that a test can hand it bytes
    // that are not UTF-8 (QProcess would encode them).
    Run tokenctlBytes(const QStringList& printfArgs)
    {
        // The "x" keeps printf from reading "--label" as an option of its own.
        const QString script =
            QStringLiteral("tool=$1; shift; n=$#; while [ \"$n\" -gt 0 ]; do a=$(printf \"x$1\"); shift; "
                           "set -- \"$@\" \"${a#x}\"; n=$((n - 1)); done; exec \"$tool\" \"$@\"");
        return tokenctl(QStringList{QStringLiteral("-c"), script, QStringLiteral("sh"), m_tool} + printfArgs,
                        QStringLiteral("/bin/sh"));
    }

    QStringList notices() const
    {
        QFile f(VTokenNotices::noticesPath(m_env->tokenStore()));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    // Every file of the store with its bytes; lock files come and go with each command.
    QMap<QString, QByteArray> storeSnapshot() const
    {
        QMap<QString, QByteArray> files;
        QDir dir(m_env->tokenStore());
        for (const QString& name : dir.entryList(QDir::Files)) {
            if (name.endsWith(QLatin1String(".lock")))
                continue;
            QFile f(dir.filePath(name));
            if (f.open(QIODevice::ReadOnly))
                files.insert(name, f.readAll());
        }
        return files;
    }

    // The tokens the library finds now; each is connected in turn and read.
    QList<Info> libraryTokens()
    {
        QList<Info> list;
        uint32_t ids[TM_MAX_SLOTS];
        int32_t count = TM_MAX_SLOTS;
        if (token_find(ids, &count) != TM_OK)
            return list;
        for (int32_t slot = 0; slot < count; ++slot) {
            char serial[TM_SERIAL_SIZE] = {};
            char label[TM_LABEL_SIZE] = {};
            char manufacturer[TM_MANUFACTURER_SIZE] = {};
            char model[TM_MODEL_SIZE] = {};
            int32_t maxPin = 0, minPin = 0, maxSo = 0, minSo = 0, hw = 0, fw = 0;
            Info i;
            if (token_connect(slot) != TM_OK ||
                token_get_info_ex(slot, serial, label, manufacturer, model, &maxPin, &minPin, &maxSo, &minSo,
                                  &i.totalMemory, &i.freeMemory, &hw, &fw, &i.initialized,
                                  &i.finger) != TM_OK)
                continue;
            i.serial = serial;
            i.label = label;
            list.append(i);
        }
        return list;
    }

    QString devicePathOf(const QString& show) const
    {
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("device path: +(\\S+)")).match(show);
        return m.captured(1);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_tool = qEnvironmentVariable("QX_APPDIR_TEMPLATE") + QStringLiteral("/tokenctl");
        QVERIFY2(QFileInfo(m_tool).isExecutable(), qPrintable(m_tool));
    }

    void init() { QVERIFY(start()); }

    void cleanup() { stop(); }

    void createShowsProperties_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("showLines");
        QTest::addColumn<QStringList>("listParts");
        QTest::addColumn<bool>("found"); // by the library, i.e. plugged in
        QTest::addColumn<int>("initialized");
        QTest::addColumn<int>("finger");
        QTest::addColumn<QByteArray>("label");

        QTest::newRow("defaults") << QStringList{}
                                  << QStringList{QStringLiteral("plugged in:    yes"),
                                                 QStringLiteral("initialized:   yes"),
                                                 QStringLiteral("fingerprint:   no"),
                                                 QStringLiteral("user PIN:      length 4-16, tries 10/10")}
                                  << QStringList{QStringLiteral("plugged")} << true << 1 << 0
                                  << QByteArray("QX4100");
        QTest::newRow("not initialized, fingerprint, Chinese label")
            << QStringList{QStringLiteral("--not-initialized"), QStringLiteral("--finger"),
                           QStringLiteral("--label"), QStringLiteral("测试 Key")}
            << QStringList{QStringLiteral("initialized:   no"), QStringLiteral("fingerprint:   yes"),
                           QStringLiteral("label:         测试 Key")}
            << QStringList{QStringLiteral("测试 Key"), QStringLiteral("[not initialized]"),
                           QStringLiteral("[fingerprint]")}
            << true << 0 << 1 << QStringLiteral("测试 Key").toUtf8();
        QTest::newRow("limits, memory and versions")
            << QStringList{QStringLiteral("--model"),   QStringLiteral("QX4100-B"),
                           QStringLiteral("--pid"),     QStringLiteral("0x4101"),
                           QStringLiteral("--pin-min"), QStringLiteral("6"),
                           QStringLiteral("--pin-max"), QStringLiteral("12"),
                           QStringLiteral("--tries"),   QStringLiteral("5"),
                           QStringLiteral("--memory"),  QStringLiteral("65536"),
                           QStringLiteral("--free"),    QStringLiteral("1000"),
                           QStringLiteral("--hw"),      QStringLiteral("0x0102"),
                           QStringLiteral("--fw"),      QStringLiteral("266")}
            << QStringList{QStringLiteral("model:         QX4100-B"),
                           QStringLiteral("device path:   USB\\VID_3A51&PID_4101\\") + Serial,
                           QStringLiteral("user PIN:      length 6-12, tries 5/5"),
                           QStringLiteral("memory:        1000 free of 65536 bytes"),
                           QStringLiteral("versions:      hardware 0x0102, firmware 0x010A")}
            << QStringList{QStringLiteral("PID_4101")} << true << 1 << 0 << QByteArray("QX4100");
        QTest::newRow("unplugged") << QStringList{QStringLiteral("--unplugged")}
                                   << QStringList{QStringLiteral("plugged in:    no")}
                                   << QStringList{QStringLiteral("pulled")} << false << 0 << 0
                                   << QByteArray();
    }

    void createShowsProperties()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, showLines);
        QFETCH(QStringList, listParts);
        QFETCH(bool, found);
        QFETCH(int, initialized);
        QFETCH(int, finger);
        QFETCH(QByteArray, label);

        const Run created =
            tokenctl(QStringList{QStringLiteral("create"), QStringLiteral("--serial"), Serial} + options);
        QCOMPARE(created.code, 0);
        QCOMPARE(created.out.trimmed(), Serial);

        const Run show = tokenctl({QStringLiteral("show"), Serial});
        QCOMPARE(show.code, 0);
        for (const QString& line : showLines)
            QVERIFY2(show.out.contains(line), qPrintable(line + QStringLiteral(" in:\n") + show.out));

        const Run list = tokenctl({QStringLiteral("list")});
        QCOMPARE(list.code, 0);
        QCOMPARE(list.out.count(QLatin1Char('\n')), 1);
        QVERIFY(list.out.startsWith(Serial));
        for (const QString& part : listParts)
            QVERIFY2(list.out.contains(part), qPrintable(part + QStringLiteral(" in: ") + list.out));

        // A plugged-in token announces itself; a pulled one stays quiet.
        const QStringList posted = notices();
        QCOMPARE(posted,
                 found ? QStringList{QStringLiteral("arrived ") + devicePathOf(show.out)} : QStringList{});

        const QList<Info> tokens = libraryTokens();
        QCOMPARE(tokens.size(), found ? 1 : 0);
        if (!found)
            return;
        QCOMPARE(tokens[0].serial, Serial.toLatin1());
        QCOMPARE(tokens[0].label, label);
        QCOMPARE(tokens[0].initialized, initialized);
        QCOMPARE(tokens[0].finger, finger);
    }

    void plugPullDelete_data()
    {
        QTest::addColumn<bool>("pluggedBefore");
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("existsAfter");
        QTest::addColumn<bool>("pluggedAfter");
        QTest::addColumn<QString>("notice"); // empty: none posted

        QTest::newRow("pull plugged") << true << "pull" << true << false << "removed";
        QTest::newRow("pull pulled") << false << "pull" << true << false << "";
        QTest::newRow("plug pulled") << false << "plug" << true << true << "arrived";
        QTest::newRow("plug plugged") << true << "plug" << true << true << "";
        QTest::newRow("delete plugged") << true << "delete" << false << false << "removed";
        QTest::newRow("delete pulled") << false << "delete" << false << false << "";
    }

    void plugPullDelete()
    {
        QFETCH(bool, pluggedBefore);
        QFETCH(QString, command);
        QFETCH(bool, existsAfter);
        QFETCH(bool, pluggedAfter);
        QFETCH(QString, notice);

        QStringList create{QStringLiteral("create"), QStringLiteral("--serial"), Serial};
        if (!pluggedBefore)
            create << QStringLiteral("--unplugged");
        QCOMPARE(tokenctl(create).code, 0);
        const QString path = devicePathOf(tokenctl({QStringLiteral("show"), Serial}).out);
        QVERIFY(path.endsWith(Serial));
        const qsizetype noticesBefore = notices().size();

        const Run r = tokenctl({command, Serial});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QString());

        const QStringList posted = notices().mid(noticesBefore);
        QCOMPARE(posted, notice.isEmpty() ? QStringList{} : QStringList{notice + QLatin1Char(' ') + path});

        const Run show = tokenctl({QStringLiteral("show"), Serial});
        if (!existsAfter) {
            QCOMPARE(show.code, 1);
            QVERIFY(show.err.contains(QLatin1String("no such token")));
            QVERIFY(tokenctl({QStringLiteral("list")}).out.startsWith(QLatin1String("no virtual tokens")));
            QVERIFY(storeSnapshot().keys() == QStringList{QStringLiteral("notices.log")} ||
                    storeSnapshot().isEmpty());
        } else {
            QVERIFY(show.out.contains(pluggedAfter ? QLatin1String("plugged in:    yes")
                                                   : QLatin1String("plugged in:    no")));
        }
        QCOMPARE(libraryTokens().size(), pluggedAfter ? 1 : 0);
    }

    void setFree_data()
    {
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<int>("expected");

        QTest::newRow("4096") << "4096" << 4096;
        QTest::newRow("none") << "0" << 0;
    }

    void setFree()
    {
        QFETCH(QString, bytes);
        QFETCH(int, expected);

        QCOMPARE(tokenctl({QStringLiteral("create"), QStringLiteral("--serial"), Serial}).code, 0);
        QCOMPARE(tokenctl({QStringLiteral("set-free"), Serial, bytes}).code, 0);
        const QList<Info> tokens = libraryTokens();
        QCOMPARE(tokens.size(), 1);
        QCOMPARE(tokens[0].freeMemory, expected);
        const QString shown = QStringLiteral("memory:        %1 free of %2 bytes")
                                  .arg(tokens[0].freeMemory)
                                  .arg(tokens[0].totalMemory);
        QVERIFY(tokenctl({QStringLiteral("show"), Serial}).out.contains(shown));
    }

    // The response tokenctl computes is the one the library takes, once, for the open challenge only.
    void unlockResponseUnlocksTheUserPin()
    {
        QCOMPARE(tokenctl({QStringLiteral("create"), QStringLiteral("--serial"), Serial,
                           QStringLiteral("--tries"), QStringLiteral("3")})
                     .code,
                 0);
        QCOMPARE(libraryTokens().size(), 1);
        int32_t left = -1;
        for (int i = 0; i < 3; ++i) {
            const tm_status r = token_login(0, "00000000", &left);
            QVERIFY(r == TM_ERR_PIN_INCORRECT || r == TM_ERR_PIN_LOCKED);
        }
        QCOMPARE(left, 0);
        QCOMPARE(token_login(0, "12345678", &left), TM_ERR_PIN_LOCKED);

        unsigned char challenge[TM_CHALLENGE_SIZE];
        QCOMPARE(token_get_challenge(0, challenge), TM_OK);
        const QByteArray challengeHex =
            QByteArray(reinterpret_cast<const char*>(challenge), TM_CHALLENGE_BYTES).toHex().toUpper();
        QVERIFY(tokenctl({QStringLiteral("show"), Serial}).out.contains(QString::fromLatin1(challengeHex)));

        const Run r =
            tokenctl({QStringLiteral("unlock-response"), Serial, QString::fromLatin1(challengeHex)});
        QCOMPARE(r.code, 0);
        const QString text = r.out.trimmed();
        QVERIFY2(QRegularExpression(QStringLiteral("^[0-9A-F]+$")).match(text).hasMatch(), qPrintable(text));
        const QByteArray response = QByteArray::fromHex(text.toLatin1());
        QVERIFY(!response.isEmpty() && response.size() <= TM_RESPONSE_MAX);

        // Lower case gives the same answer.
        QCOMPARE(
            tokenctl({QStringLiteral("unlock-response"), Serial, QString::fromLatin1(challengeHex.toLower())})
                .out.trimmed(),
            text);

        QByteArray wrong = response;
        wrong[0] = char(wrong[0] ^ 0x01);
        QCOMPARE(token_remote_unlock_upin(0, reinterpret_cast<const unsigned char*>(wrong.constData()),
                                          int32_t(wrong.size())),
                 TM_ERR_RESPONSE);
        QCOMPARE(token_remote_unlock_upin(0, reinterpret_cast<const unsigned char*>(response.constData()),
                                          int32_t(response.size())),
                 TM_OK);
        QCOMPARE(token_login(0, "12345678", &left), TM_OK);
        QCOMPARE(token_remote_unlock_upin(0, reinterpret_cast<const unsigned char*>(response.constData()),
                                          int32_t(response.size())),
                 TM_ERR_NO_CHALLENGE);
    }

    void demoMakesAnInitializedTokenWithCertificates()
    {
        const Run r = tokenctl({QStringLiteral("demo")});
        QCOMPARE(r.code, 0);
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("demo token (QX41DEMO[0-9A-F]{8}) .*plugged in")).match(r.out);
        QVERIFY2(m.hasMatch(), qPrintable(r.out));
        const QString serial = m.captured(1);
        const QRegularExpressionMatch pins =
            QRegularExpression(QStringLiteral("user PIN: *(\\S+)\\s+SO PIN: *(\\S+)")).match(r.out);
        QVERIFY2(pins.hasMatch(), qPrintable(r.out));
        QCOMPARE(notices().size(), 1);
        QVERIFY(notices().first().startsWith(QLatin1String("arrived ")));
        QVERIFY(notices().first().endsWith(serial));

        const QList<Info> tokens = libraryTokens();
        QCOMPARE(tokens.size(), 1);
        QCOMPARE(tokens[0].serial, serial.toLatin1());
        QCOMPARE(tokens[0].initialized, 1);

        int32_t left = 0;
        QCOMPARE(token_login(0, pins.captured(1).toLatin1().constData(), &left), TM_OK);
        QCOMPARE(token_login_so(0, pins.captured(2).toLatin1().constData(), &left), TM_OK);

        char names[8192];
        int32_t length = sizeof(names);
        QCOMPARE(container_load_all(0, names, &length), TM_OK);
        QCOMPARE(QByteArray(names, length).split('\0').mid(0, 3),
                 (QList<QByteArray>{"DEMO-USER", "DEMO-ROOT", "DEMO-CA"}));

        struct Expected
        {
            const char* container;
            int32_t keySpec;
            int32_t keyType;
            int32_t kind;
            bool privateKey;
        };
        const Expected expected[] = {
            {"DEMO-USER", TM_KEYSPEC_EXCHANGE, TM_KEYTYPE_RSA, TM_CERT_END_ENTITY, true},
            {"DEMO-USER", TM_KEYSPEC_SIGNATURE, TM_KEYTYPE_EC, TM_CERT_END_ENTITY, true},
            {"DEMO-ROOT", TM_KEYSPEC_SIGNATURE, -1, TM_CERT_ROOT, false},
            {"DEMO-CA", TM_KEYSPEC_SIGNATURE, -1, TM_CERT_CA, false},
        };
        for (const Expected& e : expected) {
            const QByteArray where = QByteArray(e.container) + " key " + QByteArray::number(e.keySpec);
            unsigned char cert[16384];
            int32_t certLen = sizeof(cert);
            QVERIFY2(container_get_cert(0, e.container, e.keySpec, cert, &certLen) == TM_OK, where);
            tm_char16 subject[TM_CERT_TEXT_SIZE];
            tm_char16 issuer[TM_CERT_TEXT_SIZE];
            char serialText[TM_CERT_TEXT_SIZE];
            tm_date from{}, to{};
            int32_t version = 0, kind = -1;
            QVERIFY2(helper_get_cert_info2(cert, certLen, subject, issuer, &version, serialText, &from, &to,
                                           &kind) == TM_OK,
                     where);
            QVERIFY2(kind == e.kind, where);
            int32_t type = -1, bits = 0;
            if (e.privateKey) {
                QVERIFY2(container_get_prikey(0, e.container, e.keySpec, &type, &bits) == TM_OK, where);
                QVERIFY2(type == e.keyType && bits > 0, where);
            } else {
                QVERIFY2(container_get_prikey(0, e.container, e.keySpec, &type, &bits) == TM_ERR_NOT_FOUND,
                         where);
            }
        }
    }

    void helpAndVersion_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("parts"); // of the output; <store> stands for the test's store

        const QStringList usage{"usage: tokenctl [options] <command>", "set [options] <serial>",
                                "QX4100_TOKEN_STORE", "~/.local/share/Vostrel/QX4100/tokens", "<store>"};
        const QStringList version{"tokenctl " QX_VERSION_STRING "\n"};
        QTest::newRow("-h") << QStringList{"-h"} << usage;
        QTest::newRow("--help") << QStringList{"--help"} << usage;
        QTest::newRow("help") << QStringList{"help"} << usage;
        QTest::newRow("-v") << QStringList{"-v"} << version;
        QTest::newRow("--version") << QStringList{"--version"} << version;
        const QStringList create{"usage: tokenctl create [options]\n",
                                 "--serial <serial>",
                                 "--label <text>",
                                 "--unplugged",
                                 "-h, --help",
                                 "QX4100_TOKEN_STORE",
                                 "<store>"};
        QTest::newRow("create --help") << QStringList{"create", "--help"} << create;
        QTest::newRow("create -h after options")
            << QStringList{"create", "--serial", "QX41CTLTEST00002", "-h"} << create;
        QTest::newRow("help create") << QStringList{"help", "create"} << create;
        QTest::newRow("set -h") << QStringList{"set", "-h"}
                                << QStringList{"usage: tokenctl set [options] <serial>\n", "--free <bytes>",
                                               "QX4100_TOKEN_STORE"};
        QTest::newRow("fault --help")
            << QStringList{"fault", "--help"}
            << QStringList{"usage: tokenctl fault [options] <serial> fail-next", "QX4100_TOKEN_STORE"};
        QTest::newRow("show -v") << QStringList{"show", "-v"} << version;
    }

    // Help and version go to the output and change nothing, whatever else the command line holds.
    void helpAndVersion()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, parts);

        const Run r = tokenctl(args);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QString());
        for (QString part : parts) {
            part.replace(QLatin1String("<store>"), m_env->tokenStore());
            QVERIFY2(r.out.contains(part), qPrintable(part + QStringLiteral(" in:\n") + r.out));
        }
        QVERIFY(storeSnapshot().isEmpty());
    }

    // The faults name the functions as the library calls them, and reach it.
    void faultsReachTheLibrary()
    {
        QCOMPARE(tokenctl({QStringLiteral("create"), QStringLiteral("--serial"), Serial}).code, 0);
        QCOMPARE(tokenctl({QStringLiteral("fault"), Serial, QStringLiteral("fail-next"),
                           QStringLiteral("token_login"), QStringLiteral("0x0A000001")})
                     .code,
                 0);
        QCOMPARE(libraryTokens().size(), 1);
        int32_t left = 0;
        QCOMPARE(token_login(0, "12345678", &left), TM_ERR_DEVICE);
        QCOMPARE(token_login(0, "12345678", &left), TM_OK);

        QCOMPARE(tokenctl({QStringLiteral("fault"), Serial, QStringLiteral("pull-next"), QStringLiteral("*")})
                     .code,
                 0);
        QCOMPARE(token_logout(0), TM_ERR_TOKEN_REMOVED);
    }

    void nonUtf8ArgumentsAreRefused_data()
    {
        QTest::addColumn<QStringList>("args"); // printf formats
        QTest::addColumn<QString>("message");

        QTest::newRow("create label")
            << QStringList{"create", "--serial", "QX41CTLTEST00002", "--label", "\\377\\376"}
            << "the value of --label is not valid UTF-8: \"\\xFF\\xFE\"";
        QTest::newRow("set label with =")
            << QStringList{"set", Serial, "--label=Key\\377"} << "the value of --label is not valid UTF-8";
        QTest::newRow("set label cut in a character")
            << QStringList{"set", Serial, "--label", "Key \\346\\265"}
            << "the value of --label is not valid UTF-8";
        QTest::newRow("create manufacturer")
            << QStringList{"create", "--serial", "QX41CTLTEST00002", "--manufacturer", "\\261\\372"}
            << "the value of --manufacturer is not valid UTF-8";
        QTest::newRow("finger action")
            << QStringList{"finger", Serial, "\\377"} << "argument \"\\xFF\" is not valid UTF-8";
    }

    void nonUtf8ArgumentsAreRefused()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);

        QCOMPARE(tokenctl({QStringLiteral("create"), QStringLiteral("--serial"), Serial}).code, 0);
        // The same way, valid UTF-8 gets through.
        QCOMPARE(tokenctlBytes({QStringLiteral("set"), Serial, QStringLiteral("--label"),
                                QStringLiteral("\\346\\265\\213")})
                     .code,
                 0);
        QVERIFY(tokenctl({QStringLiteral("show"), Serial}).out.contains(QStringLiteral("label:         测")));
        const QMap<QString, QByteArray> before = storeSnapshot();

        const Run r = tokenctlBytes(args);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QVERIFY(storeSnapshot() == before);
        QCOMPARE(libraryTokens().value(0).label, QStringLiteral("测").toUtf8());
    }

    // A token's texts cannot forge a line of show's output: control characters come out escaped.
    void showEscapesTokenTexts_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("label with a line break") << "--label"
                                                 << "a\nserial:        FORGED"
                                                 << "label:         a\\x0aserial:        FORGED";
        QTest::newRow("manufacturer with an escape") << "--manufacturer"
                                                     << "Acme\x1b[2J"
                                                     << "manufacturer:  Acme\\x1b[2J";
        QTest::newRow("backslash stays readable") << "--label"
                                                  << "a\\x0a"
                                                  << "label:         a\\\\x0a";
    }
    void showEscapesTokenTexts()
    {
        QFETCH(QString, option);
        QFETCH(QString, value);
        QFETCH(QString, shown);
        QCOMPARE(tokenctl({QStringLiteral("create"), QStringLiteral("--serial"), Serial, option, value}).code,
                 0);
        const Run r = tokenctl({QStringLiteral("show"), Serial});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split(QLatin1Char('\n'));
        QVERIFY2(lines.contains(shown), qPrintable(r.out));
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^serial:"))).size(), 1);
        QVERIFY(!r.out.contains(QLatin1Char('\x1b')));
    }

    // A store open to other users is made owner-only by the next run, which says so once.
    void looseStoreTightened()
    {
        QCOMPARE(tokenctl({QStringLiteral("create"), QStringLiteral("--serial"), Serial}).code, 0);
        const QString token = m_env->tokenStore() + QStringLiteral("/") + Serial + QStringLiteral(".qxtoken");
        const auto mode = [](const QString& path) {
            return int(QFileInfo(path).permissions() &
                       (QFile::ReadGroup | QFile::ReadOther | QFile::ReadOwner | QFile::WriteGroup |
                        QFile::WriteOther));
        };
        const int ownerOnly = int(QFile::ReadOwner);
        QCOMPARE(mode(token) & ~int(QFile::WriteOwner), ownerOnly); // created owner-only
        QVERIFY(QFile::setPermissions(
            m_env->tokenStore(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                     QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(token, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        Run r = tokenctl({QStringLiteral("list")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err.count(QStringLiteral("open to other users")), 1);
        QCOMPARE(mode(token) & ~int(QFile::WriteOwner), ownerOnly);
        QCOMPARE(QFileInfo(m_env->tokenStore()).permissions() &
                     (QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther),
                 QFile::Permissions());
        r = tokenctl({QStringLiteral("list")});
        QCOMPARE(r.err, QString());
    }

    // A store that is a file is named as such, not taken for a lock held elsewhere.
    void storeThatIsAFile()
    {
        const QString file = m_env->path(QStringLiteral("not-a-folder"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const QByteArray before = qgetenv("QX4100_TOKEN_STORE");
        qputenv("QX4100_TOKEN_STORE", file.toLocal8Bit());
        const Run r = tokenctl({QStringLiteral("create"), QStringLiteral("--serial"), Serial});
        qputenv("QX4100_TOKEN_STORE", before);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QStringLiteral("is not a folder")), qPrintable(r.err));
        QVERIFY(!r.err.contains(QStringLiteral("locked")));
    }

    void badInputChangesNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");

        const QString s = Serial;
        QTest::newRow("unknown command")
            << QStringList{"frobnicate", s} << 2 << "unknown command \"frobnicate\"";
        QTest::newRow("show unknown serial")
            << QStringList{"show", "QX41NOSUCHTOKEN01"} << 1 << "no such token";
        QTest::newRow("pull unknown serial")
            << QStringList{"pull", "QX41NOSUCHTOKEN01"} << 1 << "no such token";
        QTest::newRow("delete unknown serial")
            << QStringList{"delete", "QX41NOSUCHTOKEN01"} << 1 << "no such token";
        QTest::newRow("set-free unknown serial")
            << QStringList{"set-free", "QX41NOSUCHTOKEN01", "10"} << 1 << "no such token";
        QTest::newRow("create existing serial") << QStringList{"create", "--serial", s} << 1 << "exists";
        QTest::newRow("create short serial")
            << QStringList{"create", "--serial", "QX41"} << 2 << "serial is 16";
        QTest::newRow("create bad tries")
            << QStringList{"create", "--serial", "QX41CTLTEST00002", "--tries", "0"} << 2
            << "--tries must be a number from 1 to 255";
        QTest::newRow("set bad pid") << QStringList{"set", s, "--pid", "zz"} << 2 << "--pid must be a number";
        QTest::newRow("set pin lengths crossed")
            << QStringList{"set", s, "--pin-min", "9", "--pin-max", "8"} << 2 << "minimum length is above";
        QTest::newRow("set long label")
            << QStringList{"set", s, "--label", QString(65, QLatin1Char('L'))} << 2 << "at most 64 bytes";
        QTest::newRow("set unknown option")
            << QStringList{"set", s, "--colour", "red"} << 2 << "unknown option \"--colour\"";
        QTest::newRow("create misspelt option")
            << QStringList{"create", "--serial", "QX41CTLTEST00002", "--lable", "x"} << 2
            << "tokenctl: unknown option \"--lable\"";
        QTest::newRow("unknown short option") << QStringList{"set", s, "-x"} << 2 << "unknown option \"-x\"";
        QTest::newRow("unknown option before the command")
            << QStringList{"--frob", "list"} << 2 << "unknown option \"--frob\"";
        QTest::newRow("create without serial value")
            << QStringList{"create", "--serial"} << 2 << "option --serial needs a value";
        QTest::newRow("create positional")
            << QStringList{"create", "QX41CTLTEST00002"} << 2 << "unexpected argument \"QX41CTLTEST00002\"";
        QTest::newRow("show extra") << QStringList{"show", s, "extra"} << 2
                                    << "unexpected argument \"extra\"";
        QTest::newRow("pull two serials")
            << QStringList{"pull", s, "QX41CTLTEST00002"} << 2 << "unexpected argument \"QX41CTLTEST00002\"";
        QTest::newRow("list extra") << QStringList{"list", "all"} << 2 << "unexpected argument \"all\"";
        QTest::newRow("set two serials") << QStringList{"set", s, "--label", "x", "QX41CTLTEST00002"} << 2
                                         << "unexpected argument \"QX41CTLTEST00002\"";
        QTest::newRow("set-free extra")
            << QStringList{"set-free", s, "10", "20"} << 2 << "unexpected argument \"20\"";
        QTest::newRow("unlock-response extra")
            << QStringList{"unlock-response", s, "0123456789ABCDEF", "x"} << 2 << "unexpected argument \"x\"";
        QTest::newRow("fault extra") << QStringList{"fault", s, "pull-next", "token_login", "now"} << 2
                                     << "unexpected argument \"now\"";
        QTest::newRow("fault clear extra")
            << QStringList{"fault", s, "clear", "all"} << 2 << "unexpected argument \"all\"";
        QTest::newRow("finger extra")
            << QStringList{"finger", s, "show", "more"} << 2 << "unexpected argument \"more\"";
        QTest::newRow("finger unknown action")
            << QStringList{"finger", s, "wave"} << 2 << "unknown finger action \"wave\"";
        QTest::newRow("help extra") << QStringList{"help", "show", "x"} << 2 << "unexpected argument \"x\"";
        QTest::newRow("create free above memory")
            << QStringList{"create", "--serial", "QX41CTLTEST00002", "--memory", "1000", "--free", "1001"}
            << 2 << "--free is at most 1000 bytes";
        QTest::newRow("set free above new memory")
            << QStringList{"set", s, "--memory", "4096", "--free", "5000"} << 2
            << "--free is at most 4096 bytes";
        QTest::newRow("set-free above the total")
            << QStringList{"set-free", s, "2000000000"} << 2 << "--free is at most";
        QTest::newRow("fail-next misspelt function")
            << QStringList{"fault", s, "fail-next", "token_logni", "0x0A000001"} << 2
            << "\"token_logni\" is not a function of the token manager library; did you mean "
               "\"token_login\"?";
        QTest::newRow("slow misspelt function") << QStringList{"fault", s, "slow", "token_lgoin", "10"} << 2
                                                << "\"token_lgoin\" is not a function";
        QTest::newRow("pull-next misspelt function")
            << QStringList{"fault", s, "pull-next", "token_fnid"} << 2 << "\"token_fnid\" is not a function";
        QTest::newRow("fault status not a number")
            << QStringList{"fault", s, "fail-next", "token_login", "lots"} << 2
            << "the status must be a number";
        QTest::newRow("unknown fault")
            << QStringList{"fault", s, "explode"} << 2 << "unknown fault \"explode\"";
        QTest::newRow("set option without value") << QStringList{"set", s, "--label"} << 2 << "needs a value";
        QTest::newRow("set-free not a number")
            << QStringList{"set-free", s, "lots"} << 2 << "--free must be a number";
        QTest::newRow("unlock-response short challenge")
            << QStringList{"unlock-response", s, "0123"} << 2 << "16 hexadecimal digits";
        QTest::newRow("unlock-response not hex")
            << QStringList{"unlock-response", s, "0123456789ABCDEZ"} << 2 << "16 hexadecimal digits";
        QTest::newRow("plug without serial") << QStringList{"plug"} << 2 << "serial";
    }

    void badInputChangesNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, message);

        QCOMPARE(tokenctl({QStringLiteral("create"), QStringLiteral("--serial"), Serial}).code, 0);
        const QMap<QString, QByteArray> before = storeSnapshot();
        QVERIFY(before.size() >= 2); // the token and the notices

        const Run r = tokenctl(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(r.out, QString());
        QVERIFY(storeSnapshot() == before);
    }
};

QTEST_GUILESS_MAIN(TstTokenCtl)
#include "tst_tokenctl.moc"
