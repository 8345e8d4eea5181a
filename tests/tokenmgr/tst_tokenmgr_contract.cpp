// The token manager's C contract on any backend: the module comes from QX_TOKENMGR_MODULE.
#include "TokenLibraryFixture.h"

#include <QFile>
#include <QtTest>

#include <cstring>

using namespace ContractData;

class TstTokenMgrContract : public QObject, protected TokenLibraryFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QVERIFY(start()); }
    void cleanup() { stop(); }

    void callsBeforeInit()
    {
        addToken(1);
        uninit_pkcs11();
        int32_t count = TM_MAX_SLOTS;
        uint32_t ids[TM_MAX_SLOTS];
        QCOMPARE(token_find(ids, &count), TM_ERR_NOT_READY);
        QCOMPARE(count, 0);
        QCOMPARE(token_connect(0), TM_ERR_NOT_READY);
        QCOMPARE(token_logout(0), TM_ERR_NOT_READY);
    }

    void findAndConnect_data()
    {
        QTest::addColumn<int>("tokens");
        QTest::addColumn<int>("unplugged");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<uint>("status");
        QTest::addColumn<int>("count");
        QTest::newRow("none") << 0 << 0 << 32 << TM_OK << 0;
        QTest::newRow("three") << 3 << 0 << 32 << TM_OK << 3;
        QTest::newRow("one of three pulled out") << 3 << 1 << 32 << TM_OK << 2;
        QTest::newRow("table too small") << 3 << 0 << 2 << TM_ERR_BUFFER_TOO_SMALL << 3;
    }
    void findAndConnect()
    {
        QFETCH(int, tokens);
        QFETCH(int, unplugged);
        QFETCH(int, capacity);
        QFETCH(uint, status);
        QFETCH(int, count);
        for (int i = 0; i < tokens; ++i)
            addToken(i, [&](VToken& t) { t.pluggedIn = i >= unplugged; });
        uint32_t ids[TM_MAX_SLOTS + 1];
        std::fill(std::begin(ids), std::end(ids), 0xDEADBEEFu);
        int32_t n = capacity;
        QCOMPARE(token_find(ids, &n), tm_status(status));
        QCOMPARE(n, count);
        QCOMPARE(ids[capacity], 0xDEADBEEFu); // nothing past the table
        if (status != TM_OK)
            return;
        for (int i = 0; i < n; ++i)
            QCOMPARE(token_connect(i), TM_OK);
        QCOMPARE(token_connect(n), TM_ERR_SLOT);
        QCOMPARE(token_connect(-1), TM_ERR_SLOT);
    }

    void tokenInfo()
    {
        addToken(7, [](VToken& t) {
            t.label = QStringLiteral("我的令牌 token").toUtf8();
            t.hardwareVersion = 0x0102;
            t.firmwareVersion = 0x010A;
            t.totalMemory = 65536;
            t.fingerSupport = true;
            t.userPin.minLength = 6;
            t.userPin.maxLength = 12;
            t.soPin.minLength = 8;
            t.soPin.maxLength = 16;
        });
        QCOMPARE(connectAll(), 1);
        // Each text buffer gets exactly the capacity the contract gives it, followed by a guard area.
        char serial[TM_SERIAL_SIZE + 8], label[TM_LABEL_SIZE + 8], manu[TM_MANUFACTURER_SIZE + 8],
            model[TM_MODEL_SIZE + 8];
        std::memset(serial, 0x5A, sizeof(serial));
        std::memset(label, 0x5A, sizeof(label));
        std::memset(manu, 0x5A, sizeof(manu));
        std::memset(model, 0x5A, sizeof(model));
        int32_t v[10] = {};
        QCOMPARE(token_get_info_ex(0, serial, label, manu, model, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                                   &v[6], &v[7], &v[8], &v[9]),
                 TM_OK);
        QCOMPARE(QByteArray(serial), serialFor(7).toLatin1());
        QCOMPARE(QString::fromUtf8(label), QStringLiteral("我的令牌 token"));
        QCOMPARE(QByteArray(manu), QByteArray("Vostrel"));
        QCOMPARE(v[0], 12);
        QCOMPARE(v[1], 6);
        QCOMPARE(v[2], 16);
        QCOMPARE(v[3], 8);
        QCOMPARE(v[4], 65536);
        QVERIFY(v[5] > 0 && v[5] <= 65536);
        QCOMPARE(v[6], 0x0102);
        QCOMPARE(v[7], 0x010A);
        QCOMPARE(v[8], 1);
        QCOMPARE(v[9], 1);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(serial[TM_SERIAL_SIZE + i], char(0x5A));
            QCOMPARE(label[TM_LABEL_SIZE + i], char(0x5A));
            QCOMPARE(manu[TM_MANUFACTURER_SIZE + i], char(0x5A));
            QCOMPARE(model[TM_MODEL_SIZE + i], char(0x5A));
        }
    }

    void login_data()
    {
        QTest::addColumn<QByteArray>("pin");
        QTest::addColumn<int>("triesBefore");
        QTest::addColumn<bool>("sensor");
        QTest::addColumn<bool>("initialized");
        QTest::addColumn<uint>("status");
        QTest::addColumn<int>("retries");
        QTest::addColumn<int>("triesAfter");
        QTest::newRow("right PIN") << UserPin << 10 << false << true << TM_OK << 10 << 10;
        QTest::newRow("right PIN resets tries") << UserPin << 3 << false << true << TM_OK << 10 << 10;
        QTest::newRow("wrong PIN costs a try")
            << QByteArray("00000000") << 10 << false << true << TM_ERR_PIN_INCORRECT << 9 << 9;
        QTest::newRow("last try locks")
            << QByteArray("00000000") << 1 << false << true << TM_ERR_PIN_LOCKED << 0 << 0;
        QTest::newRow("locked refuses the right PIN")
            << UserPin << 0 << false << true << TM_ERR_PIN_LOCKED << 0 << 0;
        QTest::newRow("too short, no try lost")
            << QByteArray("123") << 10 << false << true << TM_ERR_PIN_LEN_RANGE << 10 << 10;
        QTest::newRow("empty PIN without sensor")
            << QByteArray() << 7 << false << true << TM_ERR_NO_SENSOR << 7 << 7;
        QTest::newRow("empty PIN on a sensor, no finger")
            << QByteArray() << 7 << true << true << TM_ERR_FINGER << 7 << 7;
        QTest::newRow("not initialized")
            << UserPin << 10 << false << false << TM_ERR_NOT_INITIALIZED << 10 << 10;
    }
    void login()
    {
        QFETCH(QByteArray, pin);
        QFETCH(int, triesBefore);
        QFETCH(bool, sensor);
        QFETCH(bool, initialized);
        QFETCH(uint, status);
        QFETCH(int, retries);
        QFETCH(int, triesAfter);
        addToken(1, [&](VToken& t) {
            t.userPin.triesLeft = triesBefore;
            t.fingerSupport = sensor;
            t.initialized = initialized;
        });
        QCOMPARE(connectAll(), 1);
        int32_t left = -1;
        QCOMPARE(token_login(0, pin.constData(), &left), tm_status(status));
        QCOMPARE(left, retries);
        int32_t st[6] = {};
        QCOMPARE(token_get_pin_state(0, TM_PIN_USER, &st[0], &st[1], &st[2], &st[3], &st[4], &st[5]), TM_OK);
        QCOMPARE(st[0], triesAfter);
        QCOMPARE(st[1], 10);
        QCOMPARE(st[4], triesAfter == 0 ? 1 : 0);
        QCOMPARE(st[5], status == TM_OK ? 1 : 0);
        QCOMPARE(readToken(1).userPin.triesLeft,
                 triesAfter); // the count lives on the token, not in the process
    }

    void soLoginAndPinChanges_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<uint>("status");
        QTest::addColumn<bool>("userPinIsB");
        QTest::addColumn<bool>("soPinIsB");
        QTest::addColumn<int>("userTries");
        QTest::addColumn<int>("soTries");
        const QByteArray n("24682468");
        QTest::newRow("change user PIN") << "upin" << UserPin << n << TM_OK << true << false << 10 << 10;
        QTest::newRow("change user PIN, wrong old")
            << "upin" << QByteArray("99999999") << n << TM_ERR_PIN_INCORRECT << false << false << 9 << 10;
        QTest::newRow("change user PIN, new too long")
            << "upin" << UserPin << QByteArray(17, '1') << TM_ERR_PIN_LEN_RANGE << false << false << 10 << 10;
        QTest::newRow("change SO PIN") << "sopin" << SoPin << n << TM_OK << false << true << 10 << 10;
        QTest::newRow("change SO PIN, wrong old")
            << "sopin" << UserPin << n << TM_ERR_PIN_INCORRECT << false << false << 10 << 9;
        QTest::newRow("reset user PIN") << "setupin" << SoPin << n << TM_OK << true << false << 10 << 10;
        QTest::newRow("reset user PIN, wrong SO PIN")
            << "setupin" << UserPin << n << TM_ERR_PIN_INCORRECT << false << false << 3 << 9;
    }
    void soLoginAndPinChanges()
    {
        QFETCH(QString, call);
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        QFETCH(uint, status);
        QFETCH(bool, userPinIsB);
        QFETCH(bool, soPinIsB);
        QFETCH(int, userTries);
        QFETCH(int, soTries);
        // The user PIN starts with 3 tries left, so a reset visibly restores them.
        addToken(1, [&](VToken& t) {
            if (call == QLatin1String("setupin"))
                t.userPin.triesLeft = 3;
        });
        QCOMPARE(connectAll(), 1);
        tm_status r = 0;
        if (call == QLatin1String("upin"))
            r = token_change_upin(0, a.constData(), b.constData());
        else if (call == QLatin1String("sopin"))
            r = token_change_sopin(0, a.constData(), b.constData());
        else
            r = token_set_upin(0, a.constData(), b.constData());
        QCOMPARE(r, tm_status(status));
        const VToken t = readToken(1);
        QCOMPARE(VToken::checkPin(t.userPin, userPinIsB ? b : UserPin), true);
        QCOMPARE(VToken::checkPin(t.soPin, soPinIsB ? b : SoPin), true);
        QCOMPARE(t.userPin.triesLeft, userTries);
        QCOMPARE(t.soPin.triesLeft, soTries);
        int32_t left = -1;
        QCOMPARE(token_login_so(0, (soPinIsB ? b : SoPin).constData(), &left), TM_OK);
        QCOMPARE(left, 10);
    }

    void changesNeedLogin_data()
    {
        QTest::addColumn<QString>("call");
        QTest::newRow("create container") << "create";
        QTest::newRow("delete container") << "delete";
        QTest::newRow("delete certificate") << "deletecert";
        QTest::newRow("write sectors") << "sectors";
    }
    void changesNeedLogin()
    {
        QFETCH(QString, call);
        addToken(1, [](VToken& t) {
            VToken::Container c;
            c.name = "box";
            c.signature.certificate = tinyCert();
            t.containers << c;
            t.cdromSectors = 4;
        });
        QCOMPARE(connectAll(), 1);
        const QByteArray sector(TM_SECTOR_SIZE, 'x');
        const auto run = [&] {
            if (call == QLatin1String("create"))
                return container_create_new(0, "new box");
            if (call == QLatin1String("delete"))
                return container_delete(0, "box");
            if (call == QLatin1String("deletecert"))
                return container_delete_cert(0, "box", TM_KEYSPEC_SIGNATURE);
            return token_write_sectors(0, 0, 1, reinterpret_cast<const unsigned char*>(sector.constData()));
        };
        const quint64 generation = readToken(1).generation;
        QCOMPARE(run(), TM_ERR_NOT_LOGGED_IN);
        QCOMPARE(readToken(1).generation, generation);
        QCOMPARE(userLogin(), TM_OK);
        QCOMPARE(run(), TM_OK);
        QCOMPARE(token_logout(0), TM_OK);
        QCOMPARE(run(), TM_ERR_NOT_LOGGED_IN);
    }

    void containerNames_data()
    {
        QTest::addColumn<QByteArrayList>("names");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<uint>("status");
        QTest::addColumn<int>("length");
        QTest::newRow("none") << QByteArrayList{} << 8192 << TM_OK << 0;
        QTest::newRow("two, one with a space") << QByteArrayList{"a b", "{0A}"} << 8192 << TM_OK << 9;
        QTest::newRow("exactly fits") << QByteArrayList{"abc", "de"} << 7 << TM_OK << 7;
        QTest::newRow("one byte short") << QByteArrayList{"abc", "de"} << 6 << TM_ERR_BUFFER_TOO_SMALL << 7;
    }
    void containerNames()
    {
        QFETCH(QByteArrayList, names);
        QFETCH(int, capacity);
        QFETCH(uint, status);
        QFETCH(int, length);
        addToken(1);
        QCOMPARE(connectAll(), 1);
        QCOMPARE(userLogin(), TM_OK);
        for (const QByteArray& n : names)
            QCOMPARE(container_create_new(0, n.constData()), TM_OK);
        QCOMPARE(container_create_new(0, names.value(0, "x").constData()),
                 names.isEmpty() ? TM_OK : TM_ERR_EXISTS);
        if (names.isEmpty())
            QCOMPARE(container_delete(0, "x"), TM_OK);
        QByteArray buf(capacity + 16, '\x5A');
        int32_t len = capacity;
        QCOMPARE(container_load_all(0, buf.data(), &len), tm_status(status));
        QCOMPARE(len, length);
        QCOMPARE(buf.mid(capacity), QByteArray(16, '\x5A'));
        if (status == TM_OK)
            QCOMPARE(buf.left(len).split('\0').mid(0, names.size()), names);
    }

    void containerObjects()
    {
        addToken(1, [](VToken& t) {
            VToken::Container c;
            c.name = "box";
            c.signature.certificate = tinyCert();
            c.signature.publicKey = tinyKey();
            c.signature.privateKey = QByteArray(138, 'k');
            c.signature.keyType = 3;
            c.signature.keyBits = 256;
            t.containers << c;
        });
        QCOMPARE(connectAll(), 1);
        QByteArray buf(16384, 0);
        int32_t len = int32_t(buf.size());
        QCOMPARE(container_get_cert(0, "box", TM_KEYSPEC_SIGNATURE,
                                    reinterpret_cast<unsigned char*>(buf.data()), &len),
                 TM_OK);
        QCOMPARE(buf.left(len), tinyCert());
        len = 16384;
        QCOMPARE(container_get_cert(0, "box", TM_KEYSPEC_EXCHANGE,
                                    reinterpret_cast<unsigned char*>(buf.data()), &len),
                 TM_ERR_NOT_FOUND);
        len = 16384;
        QCOMPARE(container_get_cert(0, "none", TM_KEYSPEC_SIGNATURE,
                                    reinterpret_cast<unsigned char*>(buf.data()), &len),
                 TM_ERR_NOT_FOUND);
        len = 16384;
        QCOMPARE(container_get_cert(0, "box", 3, reinterpret_cast<unsigned char*>(buf.data()), &len),
                 TM_ERR_ARGUMENTS);
        len = 10;
        QCOMPARE(container_get_cert(0, "box", TM_KEYSPEC_SIGNATURE,
                                    reinterpret_cast<unsigned char*>(buf.data()), &len),
                 TM_ERR_BUFFER_TOO_SMALL);
        QCOMPARE(len, int32_t(tinyCert().size()));
        int32_t type = -1, bits = -1;
        QCOMPARE(container_get_prikey(0, "box", TM_KEYSPEC_SIGNATURE, &type, &bits), TM_OK);
        QCOMPARE(type, 3);
        QCOMPARE(bits, 256);
        QCOMPARE(container_get_prikey(0, "box", TM_KEYSPEC_EXCHANGE, &type, &bits), TM_ERR_NOT_FOUND);
        unsigned char blob[256 + 8];
        std::memset(blob, 0x5A, sizeof(blob));
        int32_t blen = 256;
        QCOMPARE(container_get_pubkey(0, "box", TM_KEYSPEC_SIGNATURE, &type, &bits, blob, &blen), TM_OK);
        QCOMPARE(type, 3);
        // The EC point itself, uncompressed, as the header says: the last 65 bytes of the key's DER.
        QCOMPARE(blen, 65);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(blob), blen), tinyKey().right(65));
        for (int i = 256; i < 264; ++i)
            QCOMPARE(blob[i], 0x5A);
        // A capacity one short asks for the length needed.
        blen = 64;
        QCOMPARE(container_get_pubkey(0, "box", TM_KEYSPEC_SIGNATURE, &type, &bits, blob, &blen),
                 TM_ERR_BUFFER_TOO_SMALL);
        QCOMPARE(blen, 65);
    }

    void importThatDoesNotFit()
    {
        addToken(1, [](VToken& t) {
            VToken::Container c;
            c.name = "box";
            t.containers << c;
            t.totalMemory = 4096;
        });
        QCOMPARE(connectAll(), 1);
        QCOMPARE(userLogin(), TM_OK);
        updateToken(1, [](VToken& t) { t.reservedMemory = t.totalMemory - t.memoryUsed() - 100; });
        QCOMPARE(readToken(1).freeMemory(), 100);
        const QString path = m_env->path(QStringLiteral("tiny.cer"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(tinyCert());
        f.close();
        QCOMPARE(x509_import_certificate(0, "box", TM_KEYSPEC_SIGNATURE, path.toLocal8Bit().constData()),
                 TM_ERR_NO_SPACE);
        QVERIFY(readToken(1).containers.first().signature.certificate.isEmpty());
        updateToken(1, [](VToken& t) { t.reservedMemory = 0; });
        QCOMPARE(x509_import_certificate(0, "box", TM_KEYSPEC_SIGNATURE, path.toLocal8Bit().constData()),
                 TM_OK);
        QCOMPARE(readToken(1).containers.first().signature.certificate, tinyCert());
        // Stored objects take memory; an import never overwrites a certificate.
        QVERIFY(readToken(1).freeMemory() < 4096 - tinyCert().size());
        QCOMPARE(x509_import_certificate(0, "box", TM_KEYSPEC_SIGNATURE, path.toLocal8Bit().constData()),
                 TM_ERR_EXISTS);
    }

    void label_data()
    {
        QTest::addColumn<QByteArray>(
            "field"); // what the caller's 64-byte field holds (longer = no NUL in it)
        QTest::addColumn<uint>("status");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("short") << QByteArray("Office") << TM_OK << QByteArray("Office");
        QTest::newRow("chinese") << QStringLiteral("办公室令牌").toUtf8() << TM_OK
                                 << QStringLiteral("办公室令牌").toUtf8();
        QTest::newRow("exactly 64 bytes, no terminator")
            << QByteArray(64, 'L') + "TRAILING" << TM_OK << QByteArray(64, 'L');
        // 21 three-byte characters take 63 bytes; the 22nd is cut by the field's end and dropped.
        QTest::newRow("character cut at the end") << QStringLiteral("汉").repeated(30).toUtf8() << TM_OK
                                                  << QStringLiteral("汉").repeated(21).toUtf8();
        QTest::newRow("not UTF-8") << QByteArray("\xff\xfe bad") << TM_ERR_ARGUMENTS << QByteArray("QX4100");
    }
    void label()
    {
        QFETCH(QByteArray, field);
        QFETCH(uint, status);
        QFETCH(QByteArray, stored);
        addToken(1);
        QCOMPARE(connectAll(), 1);
        QCOMPARE(token_set_label(0, field.constData()), tm_status(status));
        QCOMPARE(readToken(1).label, stored);
    }

    void format_data()
    {
        QTest::addColumn<bool>("initialized");
        QTest::addColumn<bool>("soLogin");
        QTest::addColumn<int>("userMin");
        QTest::addColumn<int>("userMax");
        QTest::addColumn<QByteArray>("newUserPin");
        QTest::addColumn<uint>("status");
        QTest::newRow("initialized, SO PIN verified then logged out")
            << true << true << 4 << 16 << QByteArray("1111") << TM_OK;
        QTest::newRow("initialized, no SO PIN")
            << true << false << 4 << 16 << QByteArray("1111") << TM_ERR_SO_NOT_LOGGED_IN;
        QTest::newRow("never initialized") << false << false << 4 << 16 << QByteArray("1111") << TM_OK;
        QTest::newRow("user PIN too short")
            << false << false << 6 << 16 << QByteArray("1111") << TM_ERR_PIN_LEN_RANGE;
        QTest::newRow("minimum above maximum")
            << false << false << 10 << 5 << QByteArray("1111") << TM_ERR_ARGUMENTS;
        QTest::newRow("32-byte PIN fills its field")
            << false << false << 4 << 32 << QByteArray(32, '7') << TM_OK;
    }
    void format()
    {
        QFETCH(bool, initialized);
        QFETCH(bool, soLogin);
        QFETCH(int, userMin);
        QFETCH(int, userMax);
        QFETCH(QByteArray, newUserPin);
        QFETCH(uint, status);
        addToken(1, [&](VToken& t) {
            t.initialized = initialized;
            VToken::Container c;
            c.name = "old";
            t.containers << c;
        });
        QCOMPARE(connectAll(), 1);
        if (soLogin) {
            int32_t left = 0;
            QCOMPARE(token_login_so(0, SoPin.constData(), &left), TM_OK);
            QCOMPARE(token_logout(0), TM_OK);
        }
        unsigned char rec[TM_FORMAT_RECORD_SIZE] = {};
        const QByteArray label = QStringLiteral("新令牌").toUtf8();
        std::memcpy(rec, label.constData(), size_t(label.size()));
        std::memcpy(rec + 32, "ACME", 4);
        std::memcpy(rec + 64, "Issuer", 6);
        std::memcpy(rec + 96, "SOSOSOSO", 8);
        std::memcpy(rec + 128, newUserPin.constData(), size_t(newUserPin.size()));
        rec[160] = 5;
        rec[161] = 6;
        rec[162] = uchar(userMin);
        rec[163] = uchar(userMax);
        rec[164] = 4;
        rec[165] = 16;
        QCOMPARE(token_format(0, rec), tm_status(status));
        const VToken t = readToken(1);
        if (status != TM_OK) {
            QCOMPARE(t.containers.size(), 1);
            QCOMPARE(t.initialized, initialized);
            return;
        }
        QVERIFY(t.containers.isEmpty());
        QVERIFY(t.initialized);
        QCOMPARE(t.label, label);
        QCOMPARE(t.manufacturer, QByteArray("ACME"));
        QCOMPARE(t.userPin.maxTries, 5);
        QCOMPARE(t.userPin.triesLeft, 5);
        QCOMPARE(t.soPin.maxTries, 6);
        QCOMPARE(t.userPin.minLength, userMin);
        QCOMPARE(t.userPin.maxLength, userMax);
        QVERIFY(VToken::checkPin(t.userPin, newUserPin));
        QVERIFY(VToken::checkPin(t.soPin, "SOSOSOSO"));
        // Formatting ends the SO authority: a second format needs the SO PIN again.
        QCOMPARE(token_format(0, rec), TM_ERR_SO_NOT_LOGGED_IN);
    }

    void remoteUnlock_data()
    {
        QTest::addColumn<QString>("response"); // "right", "wrong", "right+00", "long"
        QTest::addColumn<uint>("status");
        QTest::newRow("right response") << "right" << TM_OK;
        QTest::newRow("with a pasted line break") << "right+00" << TM_OK;
        QTest::newRow("wrong response") << "wrong" << TM_ERR_RESPONSE;
        QTest::newRow("too short") << "short" << TM_ERR_RESPONSE;
        QTest::newRow("longer than 64 bytes") << "long" << TM_ERR_RESPONSE;
    }
    void remoteUnlock()
    {
        QFETCH(QString, response);
        QFETCH(uint, status);
        addToken(1, [](VToken& t) { t.userPin.triesLeft = 0; });
        QCOMPARE(connectAll(), 1);
        QCOMPARE(token_remote_unlock_upin(0, reinterpret_cast<const unsigned char*>("x"), 1),
                 TM_ERR_NO_CHALLENGE);
        unsigned char challenge[TM_CHALLENGE_SIZE + 8];
        std::memset(challenge, 0x5A, sizeof(challenge));
        QCOMPARE(token_get_challenge(0, challenge), TM_OK);
        for (int i = TM_CHALLENGE_BYTES; i < TM_CHALLENGE_SIZE; ++i)
            QCOMPARE(challenge[i], 0);
        for (int i = TM_CHALLENGE_SIZE; i < TM_CHALLENGE_SIZE + 8; ++i)
            QCOMPARE(challenge[i], 0x5A);
        QByteArray r = VToken::unlockResponse(
            readToken(1).unlockKey, QByteArray(reinterpret_cast<const char*>(challenge), TM_CHALLENGE_BYTES));
        if (response == QLatin1String("right+00"))
            r += '\0';
        else if (response == QLatin1String("wrong"))
            r[0] = char(r[0] ^ 1);
        else if (response == QLatin1String("short"))
            r.chop(1);
        else if (response == QLatin1String("long"))
            r = r + QByteArray(65 - r.size(), '\0');
        QCOMPARE(token_remote_unlock_upin(0, reinterpret_cast<const unsigned char*>(r.constData()),
                                          int32_t(r.size())),
                 tm_status(status));
        const VToken t = readToken(1);
        QCOMPARE(t.userPin.locked(), status != TM_OK);
        if (status == TM_OK) {
            QCOMPARE(t.userPin.triesLeft, t.userPin.maxTries);
            QCOMPARE(userLogin(), TM_OK);
            // A response is good for one unlock only.
            QCOMPARE(token_remote_unlock_upin(0, reinterpret_cast<const unsigned char*>(r.constData()),
                                              int32_t(r.size())),
                     TM_ERR_NO_CHALLENGE);
        }
    }

    void nullArguments()
    {
        addToken(1);
        QCOMPARE(connectAll(), 1);
        int32_t n = 0;
        QCOMPARE(token_find(nullptr, nullptr), TM_ERR_ARGUMENTS);
        n = 4;
        QCOMPARE(token_find(nullptr, &n), TM_ERR_ARGUMENTS);
        QCOMPARE(token_login(0, nullptr, &n), TM_ERR_ARGUMENTS);
        QCOMPARE(token_login(0, "12345678", nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(token_set_label(0, nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(token_format(0, nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(token_get_challenge(0, nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(token_remote_unlock_upin(0, nullptr, 4), TM_ERR_ARGUMENTS);
        QCOMPARE(container_load_all(0, nullptr, nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(container_create_new(0, nullptr), TM_ERR_ARGUMENTS);
        QCOMPARE(container_create_new(0, ""), TM_ERR_NAME);
        QCOMPARE(container_create_new(0, QByteArray(129, 'n').constData()), TM_ERR_NAME);
        QCOMPARE(pkcs12_file_parse(nullptr, "x", &n), TM_ERR_ARGUMENTS);
        QCOMPARE(pkcs12_file_get_certinfo(0, nullptr, nullptr, &n), TM_ERR_NO_FILE);
        QCOMPARE(
            helper_get_cert_info2(nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
            TM_ERR_ARGUMENTS);
        QCOMPARE(helper_show_cert_ui(0, nullptr, 0), TM_ERR_ARGUMENTS);
    }
};

QTEST_GUILESS_MAIN(TstTokenMgrContract)
#include "tst_tokenmgr_contract.moc"
