// SPDX-License-Identifier: BSD-3-Clause
// The token manager's PKCS#11 backend on a token that misbehaves: a module in front of SoftHSM2 pulls the
// token out at any step of a call, answers logins with PIN errors and reports PIN flags, and the token
// carries hundreds of objects. Every call must answer with the contract's status and stay in its buffers.
#include "LibraryCalls.h"
#include "OpenSslPtr.h"
#include "SoftHsmToken.h"
#include "TokenMgr.h"

#include <QtTest>

#include <openssl/ec.h>

#include <dlfcn.h>
#include <p11-kit/pkcs11.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>

namespace {

const QByteArray UserPin("12345678");
const QByteArray SoPin("87654321");
const char* const Password = "faults";
constexpr int NameBuffer = 8192; // the container name list the pages hand in

// A self-signed EC certificate with its key, as a DER file and a PKCS#12 file.
bool makeCertificateFiles(const QString& dir, QByteArray* der)
{
    KeyPtr key(EVP_EC_gen("P-256"));
    X509Ptr cert(X509_new());
    if (!key || !cert)
        return false;
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 7);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), 0);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 86400L * 365);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("Fault user"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    X509_set_pubkey(cert.get(), key.get());
    if (!X509_sign(cert.get(), key.get(), EVP_sha256()))
        return false;
    const int len = i2d_X509(cert.get(), nullptr);
    der->resize(len);
    unsigned char* p = reinterpret_cast<unsigned char*>(der->data());
    i2d_X509(cert.get(), &p);
    Pkcs12Ptr p12(PKCS12_create(Password, "user", key.get(), cert.get(), nullptr, 0, 0, 0, 0, 0));
    if (!p12)
        return false;
    const int p12Len = i2d_PKCS12(p12.get(), nullptr);
    QByteArray p12Bytes(p12Len, '\0');
    p = reinterpret_cast<unsigned char*>(p12Bytes.data());
    i2d_PKCS12(p12.get(), &p);
    QFile a(dir + QStringLiteral("/user.der")), b(dir + QStringLiteral("/user.p12"));
    return a.open(QIODevice::WriteOnly) && a.write(*der) == der->size() && b.open(QIODevice::WriteOnly) &&
           b.write(p12Bytes) == p12Bytes.size();
}

QByteArray subjectOf(const QByteArray& der)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(der.constData());
    X509Ptr cert(d2i_X509(nullptr, &p, der.size()));
    const X509_NAME* name = cert ? X509_get_subject_name(cert.get()) : nullptr;
    const int len = name ? i2d_X509_NAME(name, nullptr) : 0;
    QByteArray out(qMax(len, 0), '\0');
    unsigned char* q = reinterpret_cast<unsigned char*>(out.data());
    if (len > 0)
        i2d_X509_NAME(name, &q);
    return out;
}

QList<QByteArray> splitNames(const char* buffer, int32_t length)
{
    QList<QByteArray> names = QByteArray(buffer, length).split('\0');
    names.removeAll(QByteArray());
    return names;
}

} // namespace

class TstTokenMgrP11Faults : public QObject
{
    Q_OBJECT

    void* m_shim = nullptr;
    int (*m_set)(const char*) = nullptr;
    unsigned long (*m_calls)() = nullptr;
    CK_FUNCTION_LIST* m_p11 = nullptr;
    QTemporaryDir m_dir;
    QByteArray m_der;
    QByteArray m_derPath, m_p12Path;
    std::unique_ptr<SoftHsmToken> m_hsm;
    QByteArray m_hsmFor; // the test function the token was made for
    int m_imports = 0;
    bool m_parsed = false;
    int m_slot = -1; // the test's token; SoftHSM2 lists an empty token beside it

    // Every token found and connected; the number found, or -1.
    static int connectAll() { return LibraryCalls::connectAll(); }
    int tokensFound()
    {
        uint32_t ids[TM_MAX_SLOTS] = {};
        int32_t count = TM_MAX_SLOTS;
        return token_find(ids, &count) == TM_OK ? count : -1;
    }
    // The token back in place, connected and logged in.
    bool reinsert()
    {
        m_slot = -1;
        const int n = m_set("") == 0 ? connectAll() : -1;
        for (int i = 0; i < n && m_slot < 0; ++i) {
            char serial[TM_SERIAL_SIZE], label[TM_LABEL_SIZE], man[TM_MANUFACTURER_SIZE],
                model[TM_MODEL_SIZE];
            int32_t v[10];
            if (token_get_info_ex(i, serial, label, man, model, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                                  &v[6], &v[7], &v[8], &v[9]) == TM_OK &&
                QByteArray(label) == "Faulty")
                m_slot = i;
        }
        int32_t retries = 0;
        return m_slot >= 0 && token_login(m_slot, UserPin.constData(), &retries) == TM_OK;
    }
    // The test's token found among those connected and logged in, with the faults left as they are.
    bool reinsertKeepingFaults()
    {
        m_slot = -1;
        for (int i = 0; i < TM_MAX_SLOTS && m_slot < 0; ++i) {
            char serial[TM_SERIAL_SIZE], label[TM_LABEL_SIZE], man[TM_MANUFACTURER_SIZE],
                model[TM_MODEL_SIZE];
            int32_t v[10];
            if (token_get_info_ex(i, serial, label, man, model, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                                  &v[6], &v[7], &v[8], &v[9]) == TM_OK &&
                QByteArray(label) == "Faulty")
                m_slot = i;
        }
        int32_t retries = 0;
        return m_slot >= 0 && token_login(m_slot, UserPin.constData(), &retries) == TM_OK;
    }
    tm_status importP12(const QByteArray& container)
    {
        int32_t count = 0;
        tm_status st = container_create_new(m_slot, container.constData());
        // The library keeps the parsed file until uninit_pkcs11; parsing again would only take time.
        if (st == TM_OK && !m_parsed)
            st = pkcs12_file_parse(m_p12Path.constData(), Password, &count);
        m_parsed = m_parsed || st == TM_OK;
        if (st == TM_OK)
            st = pkcs12_import_certificate(m_slot, container.constData(), TM_KEYSPEC_SIGNATURE, 0);
        return st;
    }
    QByteArray certificate(const char* container, int keySpec, tm_status* st)
    {
        QByteArray der(16384, '\0');
        int32_t length = int32_t(der.size());
        *st = container_get_cert(m_slot, container, keySpec, reinterpret_cast<unsigned char*>(der.data()),
                                 &length);
        return *st == TM_OK ? der.left(length) : QByteArray();
    }
    CK_SESSION_HANDLE openSession()
    {
        CK_SLOT_ID slots[TM_MAX_SLOTS];
        CK_ULONG n = TM_MAX_SLOTS;
        if (m_p11->C_GetSlotList(CK_TRUE, slots, &n) != CKR_OK)
            return CK_INVALID_HANDLE;
        for (CK_ULONG i = 0; i < n; ++i) {
            CK_TOKEN_INFO ti;
            CK_SESSION_HANDLE h = CK_INVALID_HANDLE;
            if (m_p11->C_GetTokenInfo(slots[i], &ti) == CKR_OK && std::memcmp(ti.label, "Faulty ", 7) == 0 &&
                m_p11->C_OpenSession(slots[i], CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &h) ==
                    CKR_OK)
                return h;
        }
        return CK_INVALID_HANDLE;
    }
    // A certificate object that lives as long as the session; id and label are left out when empty.
    bool addCertificate(CK_SESSION_HANDLE h, const QByteArray& id, const QByteArray& label,
                        const QByteArray& value)
    {
        CK_OBJECT_CLASS cls = CKO_CERTIFICATE;
        CK_CERTIFICATE_TYPE type = CKC_X_509;
        CK_BBOOL no = CK_FALSE;
        const QByteArray subject = subjectOf(m_der);
        QList<CK_ATTRIBUTE> a = {
            {CKA_CLASS, &cls, sizeof(cls)},
            {CKA_CERTIFICATE_TYPE, &type, sizeof(type)},
            {CKA_TOKEN, &no, sizeof(no)},
            {CKA_SUBJECT, const_cast<char*>(subject.constData()), CK_ULONG(subject.size())},
            {CKA_VALUE, const_cast<char*>(value.constData()), CK_ULONG(value.size())}};
        if (!id.isEmpty())
            a.append({CKA_ID, const_cast<char*>(id.constData()), CK_ULONG(id.size())});
        if (!label.isEmpty())
            a.append({CKA_LABEL, const_cast<char*>(label.constData()), CK_ULONG(label.size())});
        CK_OBJECT_HANDLE o = CK_INVALID_HANDLE;
        return m_p11->C_CreateObject(h, a.data(), CK_ULONG(a.size()), &o) == CKR_OK;
    }
    bool addData(CK_SESSION_HANDLE h, int i)
    {
        CK_OBJECT_CLASS cls = CKO_DATA;
        CK_BBOOL no = CK_FALSE;
        const QByteArray value = QByteArray::number(i);
        CK_ATTRIBUTE a[] = {{CKA_CLASS, &cls, sizeof(cls)},
                            {CKA_TOKEN, &no, sizeof(no)},
                            {CKA_VALUE, const_cast<char*>(value.constData()), CK_ULONG(value.size())}};
        CK_OBJECT_HANDLE o = CK_INVALID_HANDLE;
        return m_p11->C_CreateObject(h, a, CK_ULONG(std::size(a)), &o) == CKR_OK;
    }

private Q_SLOTS:
    void initTestCase()
    {
        // Held open for the whole run, so the faults set here are the ones the library's module sees.
        m_shim = dlopen(FAULTP11_FILE, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(m_shim, dlerror());
        m_set = reinterpret_cast<int (*)(const char*)>(dlsym(m_shim, "faultp11_set"));
        m_calls = reinterpret_cast<unsigned long (*)()>(dlsym(m_shim, "faultp11_calls"));
        auto getList = reinterpret_cast<CK_C_GetFunctionList>(dlsym(m_shim, "C_GetFunctionList"));
        QVERIFY(m_set && m_calls && getList);
        QCOMPARE(getList(&m_p11), CKR_OK);
        QCOMPARE(m_set("no-such-fault"), -1);
        QCOMPARE(m_set("removed@x"), -1);
        QVERIFY(makeCertificateFiles(m_dir.path(), &m_der));
        m_derPath = (m_dir.path() + QStringLiteral("/user.der")).toLocal8Bit();
        m_p12Path = (m_dir.path() + QStringLiteral("/user.p12")).toLocal8Bit();
    }
    void init()
    {
        QCOMPARE(m_set(""), 0);
        // One token per test function: its rows share it and put the token back themselves.
        const QByteArray function = QTest::currentTestFunction();
        const bool fresh = m_hsmFor != function;
        if (fresh) {
            m_hsm.reset();
            m_hsm = std::make_unique<SoftHsmToken>();
            m_hsmFor = function;
            if (!m_hsm->ok())
                QSKIP("SoftHSM2 is not installed (scripts/install-deps.sh installs it)");
            QVERIFY(m_hsm->initToken(QStringLiteral("Faulty"), UserPin, SoPin));
        }
        QCOMPARE(init_pkcs11(FAULTP11_FILE), TM_OK);
        m_parsed = false;
        QVERIFY(reinsert());
        if (fresh) {
            // A key pair with its certificate, and a certificate alone.
            QCOMPARE(importP12("signing"), TM_OK);
            QCOMPARE(container_create_new(m_slot, "root"), TM_OK);
            QCOMPARE(x509_import_certificate(m_slot, "root", TM_KEYSPEC_EXCHANGE, m_derPath.constData()),
                     TM_OK);
        }
    }
    void cleanup()
    {
        m_set("");
        uninit_pkcs11();
    }
    void cleanupTestCase()
    {
        m_hsm.reset();
        // The module stays loaded: the library may have left it to the process.
    }

    // Once the token is gone, every call that needs it says so, whatever the module answers with.
    void removedBeforeCall_data()
    {
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<QString>("call");
        const QStringList calls = {"token_connect",
                                   "token_get_info_ex",
                                   "token_reload_all_objects",
                                   "token_login",
                                   "token_logout",
                                   "token_get_pin_state",
                                   "token_change_upin",
                                   "token_change_sopin",
                                   "token_login_so",
                                   "token_set_upin",
                                   "container_load_all",
                                   "container_create_new",
                                   "container_delete",
                                   "container_get_cert",
                                   "container_get_pubkey",
                                   "container_get_prikey",
                                   "container_delete_cert",
                                   "pkcs12_import_certificate",
                                   "x509_import_certificate"};
        for (const char* code : {"device-removed", "token-not-present", "session-handle-invalid"})
            for (const QString& call : calls)
                QTest::addRow("%s, %s", code, qPrintable(call)) << QByteArray("removed@0:") + code << call;
    }
    void removedBeforeCall()
    {
        QFETCH(QByteArray, fault);
        QFETCH(QString, call);
        // The names are listed and the certificates read first, so nothing is left to read on demand.
        char names[NameBuffer];
        int32_t length = NameBuffer;
        QCOMPARE(container_load_all(m_slot, names, &length), TM_OK);
        tm_status st = TM_OK;
        QCOMPARE(certificate("signing", TM_KEYSPEC_SIGNATURE, &st), m_der);
        const std::map<QString, std::function<tm_status()>> entry = {
            {"token_connect", [this] { return token_connect(m_slot); }},
            {"token_get_info_ex",
             [this] {
                 char serial[TM_SERIAL_SIZE], label[TM_LABEL_SIZE], man[TM_MANUFACTURER_SIZE],
                     model[TM_MODEL_SIZE];
                 int32_t v[10];
                 return token_get_info_ex(m_slot, serial, label, man, model, &v[0], &v[1], &v[2], &v[3],
                                          &v[4], &v[5], &v[6], &v[7], &v[8], &v[9]);
             }},
            {"token_reload_all_objects", [this] { return token_reload_all_objects(m_slot); }},
            {"token_login",
             [this] {
                 int32_t retries = 99;
                 return token_login(m_slot, UserPin.constData(), &retries);
             }},
            {"token_logout", [this] { return token_logout(m_slot); }},
            {"token_get_pin_state",
             [this] {
                 int32_t v[6];
                 return token_get_pin_state(m_slot, TM_PIN_USER, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
             }},
            {"token_change_upin",
             [this] { return token_change_upin(m_slot, UserPin.constData(), "11112222"); }},
            {"token_change_sopin",
             [this] { return token_change_sopin(m_slot, SoPin.constData(), "11112222"); }},
            {"token_login_so",
             [this] {
                 int32_t retries = 99;
                 return token_login_so(m_slot, SoPin.constData(), &retries);
             }},
            {"token_set_upin",
             [this] { return token_set_upin(m_slot, SoPin.constData(), UserPin.constData()); }},
            {"container_load_all",
             [this] {
                 char buffer[NameBuffer];
                 int32_t n = NameBuffer;
                 return container_load_all(m_slot, buffer, &n);
             }},
            {"container_create_new", [this] { return container_create_new(m_slot, "new one"); }},
            {"container_delete", [this] { return container_delete(m_slot, "signing"); }},
            {"container_get_cert",
             [this] {
                 tm_status r = TM_OK;
                 certificate("signing", TM_KEYSPEC_SIGNATURE, &r);
                 return r;
             }},
            {"container_get_pubkey",
             [this] {
                 int32_t type = 0, bits = 0, n = 256;
                 unsigned char blob[256];
                 return container_get_pubkey(m_slot, "signing", TM_KEYSPEC_SIGNATURE, &type, &bits, blob, &n);
             }},
            {"container_get_prikey",
             [this] {
                 int32_t type = 0, bits = 0;
                 return container_get_prikey(m_slot, "signing", TM_KEYSPEC_SIGNATURE, &type, &bits);
             }},
            {"container_delete_cert",
             [this] { return container_delete_cert(m_slot, "root", TM_KEYSPEC_EXCHANGE); }},
            {"pkcs12_import_certificate", [this] { return importP12("imported"); }},
            {"x509_import_certificate",
             [this] {
                 return x509_import_certificate(m_slot, "root", TM_KEYSPEC_EXCHANGE, m_derPath.constData());
             }},
        };
        QCOMPARE(m_set(fault.constData()), 0);
        QCOMPARE(entry.at(call)(), TM_ERR_TOKEN_REMOVED);
        QCOMPARE(tokensFound(), 0);
        // A slot that went with the token is no longer there to call.
        QCOMPARE(token_logout(m_slot), TM_ERR_SLOT);
        QVERIFY(reinsert());
    }

    // A token that arrives while the tokens are listed is either listed whole or not at all.
    void arrivesDuringFind_data()
    {
        QTest::addColumn<int>("absentFor");
        for (int n = 1; n <= 3; ++n)
            QTest::addRow("after %d calls", n) << n;
    }
    void arrivesDuringFind()
    {
        QFETCH(int, absentFor);
        QCOMPARE(m_set(QByteArray("inserted@" + QByteArray::number(absentFor)).constData()), 0);
        uint32_t ids[TM_MAX_SLOTS] = {};
        int32_t count = TM_MAX_SLOTS;
        QCOMPARE(token_find(ids, &count), TM_OK);
        for (int i = 0; i < count; ++i) {
            char serial[TM_SERIAL_SIZE], label[TM_LABEL_SIZE], man[TM_MANUFACTURER_SIZE],
                model[TM_MODEL_SIZE];
            int32_t v[10];
            QCOMPARE(token_get_info_ex(i, serial, label, man, model, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                                       &v[6], &v[7], &v[8], &v[9]),
                     TM_OK);
        }
    }

    // The token goes away after each number of module calls an operation makes: the operation either
    // finishes with a complete, true result or reports the removal.
    void removedDuringCall_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QByteArray>("code");
        for (const char* op : {"login", "listing", "certificate read", "key read"})
            for (const char* code : {"device-removed", "token-not-present", "session-handle-invalid"})
                QTest::addRow("%s, %s", op, code) << QString::fromLatin1(op) << QByteArray(code);
        // Every code reaches an import's calls in the test above; a sweep writes to the token each step.
        QTest::newRow("import, device-removed") << QStringLiteral("import") << QByteArray("device-removed");
    }
    void removedDuringCall()
    {
        QFETCH(QString, operation);
        QFETCH(QByteArray, code);
        QByteArray imported;
        // The operation's status; `complete` says whether a successful result was whole and right.
        const auto run = [&](bool* complete) -> tm_status {
            *complete = true;
            if (operation == QLatin1String("login")) {
                int32_t retries = 99;
                return token_login(m_slot, UserPin.constData(), &retries);
            }
            if (operation == QLatin1String("listing")) {
                char buffer[NameBuffer];
                int32_t length = NameBuffer;
                const tm_status st = container_load_all(m_slot, buffer, &length);
                const QList<QByteArray> names = splitNames(buffer, st == TM_OK ? length : 0);
                *complete = names.contains("signing") && names.contains("root");
                return st;
            }
            if (operation == QLatin1String("certificate read")) {
                tm_status st = TM_OK;
                *complete = certificate("signing", TM_KEYSPEC_SIGNATURE, &st) == m_der;
                return st;
            }
            if (operation == QLatin1String("key read")) {
                int32_t type = -1, bits = 0, n = 256;
                unsigned char blob[256];
                tm_status st =
                    container_get_pubkey(m_slot, "root", TM_KEYSPEC_EXCHANGE, &type, &bits, blob, &n);
                *complete = type == TM_KEYTYPE_EC && bits == 256 && n == 65;
                if (st != TM_OK)
                    return st;
                st = container_get_prikey(m_slot, "signing", TM_KEYSPEC_SIGNATURE, &type, &bits);
                *complete = *complete && type == TM_KEYTYPE_EC && bits == 256;
                return st;
            }
            imported = "import " + QByteArray::number(++m_imports);
            return importP12(imported);
        };
        // With the token in place the operation succeeds; its module calls are the steps to break.
        bool complete = false;
        QCOMPARE(m_set(""), 0);
        QCOMPARE(run(&complete), TM_OK);
        QVERIFY(complete);
        const unsigned long calls = m_calls();
        QVERIFY(calls > 0);
        for (unsigned long after = 0; after <= calls; ++after) {
            QVERIFY(reinsert());
            const QByteArray fault = "removed@" + QByteArray::number(qulonglong(after)) + ':' + code;
            QCOMPARE(m_set(fault.constData()), 0);
            const tm_status st = run(&complete);
            const bool wentAway = m_calls() > after;
            QVERIFY2(
                st == TM_OK || st == TM_ERR_TOKEN_REMOVED,
                qPrintable(QStringLiteral("after %1 calls: %2").arg(after).arg(st, 8, 16, QLatin1Char('0'))));
            if (st == TM_OK)
                QVERIFY2(complete, qPrintable(QStringLiteral("after %1 calls").arg(after)));
            if (wentAway)
                QCOMPARE(tokensFound(), 0);
            if (st == TM_OK && !imported.isEmpty()) {
                // An import reported done is on the token once it is back.
                QVERIFY(reinsert());
                tm_status read = TM_OK;
                QCOMPARE(certificate(imported.constData(), TM_KEYSPEC_SIGNATURE, &read), m_der);
            }
        }
    }

    // What the login page shows comes from the status and the tries left a failed login writes.
    void loginFailures_data()
    {
        QTest::addColumn<int>("pinType");
        QTest::addColumn<QByteArray>("faults");
        QTest::addColumn<tm_status>("status");
        QTest::addColumn<int>("retries");
        QTest::newRow("incorrect") << TM_PIN_USER << QByteArray("login:pin-incorrect") << TM_ERR_PIN_INCORRECT
                                   << TM_RETRIES_UNKNOWN;
        QTest::newRow("incorrect, count low")
            << TM_PIN_USER << QByteArray("login:pin-incorrect flag:user-pin-count-low")
            << TM_ERR_PIN_INCORRECT << TM_RETRIES_UNKNOWN;
        QTest::newRow("incorrect, final try")
            << TM_PIN_USER << QByteArray("login:pin-incorrect flag:user-pin-final-try")
            << TM_ERR_PIN_INCORRECT << 1;
        QTest::newRow("incorrect, now locked")
            << TM_PIN_USER << QByteArray("login:pin-incorrect,flag:user-pin-locked") << TM_ERR_PIN_INCORRECT
            << 0;
        QTest::newRow("locked") << TM_PIN_USER << QByteArray("login:pin-locked") << TM_ERR_PIN_LOCKED << 0;
        QTest::newRow("length out of range")
            << TM_PIN_USER << QByteArray("login:pin-len-range") << TM_ERR_PIN_LEN_RANGE << TM_RETRIES_UNKNOWN;
        QTest::newRow("SO incorrect, final try")
            << TM_PIN_SO << QByteArray("login:pin-incorrect flag:so-pin-final-try") << TM_ERR_PIN_INCORRECT
            << 1;
        QTest::newRow("SO incorrect, user PIN locked")
            << TM_PIN_SO << QByteArray("login:pin-incorrect flag:user-pin-locked") << TM_ERR_PIN_INCORRECT
            << TM_RETRIES_UNKNOWN;
        QTest::newRow("SO locked") << TM_PIN_SO << QByteArray("login:pin-locked") << TM_ERR_PIN_LOCKED << 0;
    }
    void loginFailures()
    {
        QFETCH(int, pinType);
        QFETCH(QByteArray, faults);
        QFETCH(tm_status, status);
        QFETCH(int, retries);
        QCOMPARE(m_set(faults.constData()), 0);
        int32_t left = 99;
        const QByteArray& pin = pinType == TM_PIN_SO ? SoPin : UserPin;
        QCOMPARE(pinType == TM_PIN_SO ? token_login_so(m_slot, pin.constData(), &left)
                                      : token_login(m_slot, pin.constData(), &left),
                 status);
        QCOMPARE(left, retries);
        // A failed login leaves the token logged out.
        int32_t v[6];
        QCOMPARE(token_get_pin_state(m_slot, pinType, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]), TM_OK);
        QCOMPARE(v[5], 0);
    }

    void pinStateFromFlags_data()
    {
        QTest::addColumn<int>("pinType");
        QTest::addColumn<QByteArray>("flags");
        QTest::addColumn<int>("retriesLeft");
        QTest::addColumn<int>("locked");
        QTest::newRow("none") << TM_PIN_USER << QByteArray() << TM_RETRIES_UNKNOWN << 0;
        QTest::newRow("locked") << TM_PIN_USER << QByteArray("flag:user-pin-locked") << 0 << 1;
        QTest::newRow("final try") << TM_PIN_USER << QByteArray("flag:user-pin-final-try") << 1 << 0;
        QTest::newRow("count low") << TM_PIN_USER << QByteArray("flag:user-pin-count-low")
                                   << TM_RETRIES_UNKNOWN << 0;
        QTest::newRow("locked wins") << TM_PIN_USER
                                     << QByteArray("flag:user-pin-final-try flag:user-pin-locked") << 0 << 1;
        QTest::newRow("SO flags leave the user PIN")
            << TM_PIN_USER << QByteArray("flag:so-pin-locked") << TM_RETRIES_UNKNOWN << 0;
        QTest::newRow("SO locked") << TM_PIN_SO << QByteArray("flag:so-pin-locked") << 0 << 1;
        QTest::newRow("SO final try") << TM_PIN_SO << QByteArray("flag:so-pin-final-try") << 1 << 0;
    }
    void pinStateFromFlags()
    {
        QFETCH(int, pinType);
        QFETCH(QByteArray, flags);
        QFETCH(int, retriesLeft);
        QFETCH(int, locked);
        QCOMPARE(m_set(flags.constData()), 0);
        int32_t v[6] = {99, 99, 99, 99, 99, 99};
        QCOMPARE(token_get_pin_state(m_slot, pinType, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]), TM_OK);
        QCOMPARE(v[0], retriesLeft);
        QCOMPARE(v[1], TM_RETRIES_UNKNOWN); // PKCS#11 never tells the maximum
        QCOMPARE(v[4], locked);
    }

    // 500 objects: certificates under IDs, without labels, without IDs, two under one ID, and data
    // objects. The list of names goes into the pages' 8192-byte buffer or is refused whole.
    void manyObjects_data()
    {
        QTest::addColumn<int>("labelLength");
        QTest::newRow("names fit") << 4;
        QTest::newRow("names overflow") << 40;
    }
    void manyObjects()
    {
        QFETCH(int, labelLength);
        const CK_SESSION_HANDLE h = openSession();
        QVERIFY(h != CK_INVALID_HANDLE);
        const auto closeLater = qScopeGuard([&] { m_p11->C_CloseSession(h); });
        const auto id = [](int i) { return QByteArray::number(0x10000 + i, 16); };
        int objects = 0, containers = 2;
        for (int i = 0; i < 250; ++i, ++objects, ++containers)
            QVERIFY(addCertificate(h, id(i), QByteArray::number(i).rightJustified(labelLength, 'c'), m_der));
        for (int i = 250; i < 300; ++i, ++objects, ++containers)
            QVERIFY(addCertificate(h, id(i), {}, m_der));
        for (int i = 0; i < 50; ++i, ++objects, ++containers)
            QVERIFY(addCertificate(h, {}, "by label " + QByteArray::number(i), m_der));
        for (int i = 0; i < 50; ++i, ++objects, ++containers)
            QVERIFY(addCertificate(h, {}, {}, m_der));
        QVERIFY(addCertificate(h, "pair", "pair a", m_der));
        QVERIFY(addCertificate(h, "pair", "pair b", m_der));
        objects += 2;
        ++containers;
        for (; objects < 500; ++objects)
            QVERIFY(addData(h, objects));
        QCOMPARE(token_reload_all_objects(m_slot), TM_OK);

        QByteArray all(64 * 1024, '\0');
        int32_t needed = int32_t(all.size());
        QCOMPARE(container_load_all(m_slot, all.data(), &needed), TM_OK);
        const QList<QByteArray> names = splitNames(all.constData(), needed);
        QCOMPARE(names.size(), containers);
        QCOMPARE(QSet<QByteArray>(names.cbegin(), names.cend()).size(), containers);
        QVERIFY(names.contains("pair a"));
        QVERIFY(!names.contains("pair b"));
        QVERIFY(names.contains(id(250).toHex()));
        for (const QByteArray& n : names)
            QVERIFY(n.size() <= 128);

        // The pages' buffer with a guard behind it: nothing is written past the capacity given.
        QByteArray buffer(NameBuffer + 64, '\x5A');
        int32_t length = NameBuffer;
        const tm_status st = container_load_all(m_slot, buffer.data(), &length);
        QCOMPARE(length, needed);
        if (needed <= NameBuffer) {
            QCOMPARE(st, TM_OK);
            QCOMPARE(buffer.left(needed), all.left(needed));
        } else {
            QCOMPARE(st, TM_ERR_BUFFER_TOO_SMALL);
            QCOMPARE(buffer.left(NameBuffer), QByteArray(NameBuffer, '\x5A'));
        }
        QCOMPARE(buffer.mid(NameBuffer), QByteArray(64, '\x5A'));
    }

    // A module that hands out null functions, absurd counts or lengths gets statuses, not a crash; what
    // it does answer sensibly still shows.
    void hostileModules_data()
    {
        QTest::addColumn<QByteArray>("faults");
        QTest::addColumn<tm_status>("findStatus");
        QTest::newRow("null functions") << QByteArray("hostile:null-functions") << TM_ERR_NOT_SUPPORTED;
        QTest::newRow("2^40 slots") << QByteArray("hostile:huge-slot-count") << TM_ERR_DEVICE;
        QTest::newRow("objects beyond the batch") << QByteArray("hostile:objects-beyond-batch") << TM_OK;
        QTest::newRow("attribute longer than its buffer") << QByteArray("hostile:attribute-length") << TM_OK;
    }
    void hostileModules()
    {
        QFETCH(QByteArray, faults);
        QFETCH(tm_status, findStatus);
        // The module's function list is taken when the library starts: start it again with the faults.
        uninit_pkcs11();
        QCOMPARE(m_set(faults.constData()), 0);
        QCOMPARE(init_pkcs11(FAULTP11_FILE), TM_OK);
        uint32_t ids[TM_MAX_SLOTS] = {};
        int32_t count = TM_MAX_SLOTS;
        QCOMPARE(token_find(ids, &count), findStatus);
        if (findStatus != TM_OK) {
            QCOMPARE(count, 0);
            QCOMPARE(token_connect(0), TM_ERR_SLOT);
            int32_t retries = 0;
            QCOMPARE(token_login(0, UserPin.constData(), &retries), TM_ERR_SLOT);
            return;
        }
        for (int i = 0; i < count; ++i)
            QCOMPARE(token_connect(i), TM_OK);
        QVERIFY(reinsertKeepingFaults());
        // Both containers, each with its certificate in one of the two usages (names may differ: the
        // labels the module claims are 200 000 bytes long).
        const QList<QByteArray> names = LibraryCalls::containerNames(m_slot);
        QCOMPARE(names.size(), 2);
        for (const QByteArray& name : names) {
            tm_status exchange = TM_OK, signature = TM_OK;
            const QByteArray a = certificate(name.constData(), TM_KEYSPEC_EXCHANGE, &exchange);
            const QByteArray b = certificate(name.constData(), TM_KEYSPEC_SIGNATURE, &signature);
            QCOMPARE(a + b, m_der);
        }
    }

    // A module may answer a query for several attributes with CKR_ATTRIBUTE_TYPE_INVALID when one is
    // missing and another did not fit: an ID of any length still groups its objects, and two IDs that
    // differ only past the first 256 bytes stay apart.
    void longIdsQueriedAlone()
    {
        QCOMPARE(m_set("attributes:type-invalid-wins"), 0);
        const CK_SESSION_HANDLE h = openSession();
        QVERIFY(h != CK_INVALID_HANDLE);
        const auto closeLater = qScopeGuard([&] { m_p11->C_CloseSession(h); });
        const QByteArray id(300, '\x11');
        QVERIFY(addCertificate(h, id, "long a", m_der));
        QVERIFY(addCertificate(h, id, "long b", m_der));
        QVERIFY(addCertificate(h, id.left(299) + '\x22', {}, m_der));
        QCOMPARE(token_reload_all_objects(m_slot), TM_OK);
        const QList<QByteArray> names = LibraryCalls::containerNames(m_slot);
        QCOMPARE(names.size(), 4);
        QVERIFY(names.contains("long a"));
        QVERIFY(!names.contains("long b"));
    }

    // Objects without an ID are containers of their own, however their labels repeat, and deleting
    // one destroys that object alone.
    void objectsWithoutId()
    {
        const CK_SESSION_HANDLE h = openSession();
        QVERIFY(h != CK_INVALID_HANDLE);
        const auto closeLater = qScopeGuard([&] { m_p11->C_CloseSession(h); });
        QVERIFY(addCertificate(h, {}, "twin", m_der));
        QVERIFY(addCertificate(h, {}, "twin", m_der));
        QVERIFY(addCertificate(h, {}, "twin (2)", m_der));
        QCOMPARE(token_reload_all_objects(m_slot), TM_OK);
        QList<QByteArray> names = LibraryCalls::containerNames(m_slot);
        std::sort(names.begin(), names.end());
        QCOMPARE(names, (QList<QByteArray>{"root", "signing", "twin", "twin (2)", "twin (3)"}));
        QCOMPARE(container_delete(m_slot, "twin"), TM_OK);
        names = LibraryCalls::containerNames(m_slot);
        std::sort(names.begin(), names.end());
        QCOMPARE(names, (QList<QByteArray>{"root", "signing", "twin", "twin (2)"}));
        tm_status st = TM_OK;
        for (const char* name : {"twin", "twin (2)"}) {
            QCOMPARE(certificate(name, TM_KEYSPEC_EXCHANGE, &st), m_der);
            QCOMPARE(st, TM_OK);
        }
    }

    // A program that never calls uninit_pkcs11 still ends normally: the library's teardown at exit
    // leaves the module alone, whose own teardown may already have run.
    void exitWithoutUninit_data()
    {
        QTest::addColumn<QByteArray>("module");
        QTest::newRow("SoftHSM2") << SoftHsmToken::module();
        QTest::newRow("fault module") << QByteArray(FAULTP11_FILE);
    }
    void exitWithoutUninit()
    {
        QFETCH(QByteArray, module);
        QProcess p;
        p.start(QStringLiteral(EXIT_WITHOUT_UNINIT), {QString::fromLocal8Bit(module)});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
    }

    // A certificate the library cannot read is a status, whichever half of the container is asked for.
    void unreadableCertificate_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("not DER") << QByteArray("not a certificate");
        QTest::newRow("cut short") << m_der.left(m_der.size() / 2);
    }
    void unreadableCertificate()
    {
        QFETCH(QByteArray, value);
        const CK_SESSION_HANDLE h = openSession();
        QVERIFY(h != CK_INVALID_HANDLE);
        const auto closeLater = qScopeGuard([&] { m_p11->C_CloseSession(h); });
        QVERIFY(addCertificate(h, "bad", "bad", value));
        QCOMPARE(token_reload_all_objects(m_slot), TM_OK);
        int32_t type = -1, bits = -1, n = 256;
        unsigned char blob[256];
        QCOMPARE(container_get_pubkey(m_slot, "bad", TM_KEYSPEC_EXCHANGE, &type, &bits, blob, &n),
                 TM_ERR_CERTIFICATE);
        QCOMPARE(container_get_prikey(m_slot, "bad", TM_KEYSPEC_EXCHANGE, &type, &bits), TM_ERR_NOT_FOUND);
    }
};

QTEST_GUILESS_MAIN(TstTokenMgrP11Faults)
#include "tst_tokenmgr_p11faults.moc"
