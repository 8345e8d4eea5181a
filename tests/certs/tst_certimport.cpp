// SPDX-License-Identifier: BSD-3-Clause
// The certificate import through its dialog and the certificate page's progress bar, on virtual tokens,
// with certificate files written by the openssl command line at run time.
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "VFileLock.h"
#include "VToken.h"
#include "VTokenStore.h"
#include "certs/TCertImport.h"
#include "certs/TCertPage.h"
#include "certs/TIMForm.h"
#include "i18n/ResStrs.h"
#include "token/CerMgrApis.h"
#include "ui/TProgramState.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QString Serial = QStringLiteral("QXIMPORT00000001");
const QByteArray UserPin = "12345678";
const QString Password = QStringLiteral("pw-测试");

using Script = std::function<void(TIMForm*)>;
using Change = std::function<void(VToken&)>;

TIMForm* openForm()
{
    return qobject_cast<TIMForm*>(QApplication::activeModalWidget());
}

template <class W> W* child(QWidget* form, const char* name)
{
    return form->findChild<W*>(QLatin1String(name));
}

void changeToken(const Change& change)
{
    VTokenStore().update(Serial, [&](VToken& t) {
        change(t);
        return true;
    });
}

VToken::Fault fault(VToken::Fault::Kind kind, const char* function, int delayMs = 0)
{
    VToken::Fault f;
    f.kind = kind;
    f.function = QLatin1String(function);
    f.delayMs = delayMs;
    return f;
}

} // namespace

Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(Script)

class TstCertImport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files;
    bool m_legacy = false;
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TProgramState> m_state;
    std::unique_ptr<TCertPage> m_page;

    QString file(const QString& name) const { return m_files.filePath(name); }

    bool openssl(const QStringList& args, QString* error)
    {
        QProcess p;
        p.start(QStringLiteral("openssl"), args);
        if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return true;
        *error = QStringLiteral("openssl %1: %2")
                     .arg(args.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAllStandardError()));
        return false;
    }

    QByteArray der(const QString& name) const
    {
        QFile f(file(name + QStringLiteral(".der")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QByteArray readFile(const QString& name) const
    {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // A fresh virtual token with the user logged in, seen by the library in slot 0.
    void connectToken(const Change& setUp)
    {
        VToken t = VToken::makeNew(Serial, UserPin, "87654321");
        if (setUp)
            setUp(t);
        QCOMPARE(VTokenStore().create(t), VTokenStore::Result::Ok);
        QCOMPARE(CerMgrApis::InitTokenLibrary(QStringLiteral("q7sec_pkcs11.dll")), TokenStatus::Success);
        qint32 count = 0;
        QCOMPARE(CerMgrApis::FindAndConnectTokens(count), TokenStatus::Success);
        qint32 retries = 0;
        QCOMPARE(CerMgrApis::LoginUser(0, QString::fromLatin1(UserPin), retries), TokenStatus::Success);
        m_state->sessions.reset(1);
        m_state->sessions.at(0)->setLogin(TTokenSession::Login::UserByPin);
    }

    // Runs the import; `script` acts on the dialog once it is open. A dialog still open after the
    // script is cancelled, and reported through `leftOpen`.
    bool runImport(TCertImport& import, const Script& script, bool* leftOpen = nullptr, int preselect = -1)
    {
        bool open = false;
        QTimer driver;
        driver.setInterval(0);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            TIMForm* form = openForm();
            if (!form)
                return;
            driver.stop();
            script(form);
            if (form->isVisible()) {
                open = true;
                form->reject();
            }
        });
        driver.start();
        m_page->show();
        const bool started = import.run(m_page.get(), m_page->progressBar(), preselect);
        if (leftOpen)
            *leftOpen = open;
        return started;
    }

    // Picks a file through the browse button and the scripted file dialog.
    void choose(TIMForm* form, const QString& name)
    {
        m_dialogs->setNextFileName(file(name));
        QTest::mouseClick(child<QPushButton>(form, "btnpath"), Qt::LeftButton);
    }

    // A whole dialog: the file, its password, a new container (or the one offered when `target` is
    // empty), the usage, then OK.
    Script fill(const QString& name, const QString& password, const QString& target, bool exchange)
    {
        return [=, this](TIMForm* form) {
            choose(form, name);
            if (!password.isEmpty())
                child<QLineEdit>(form, "edtpwd")->setText(password);
            if (!target.isEmpty()) {
                child<QRadioButton>(form, "rb1")->click();
                child<QLineEdit>(form, "edtContname")->setText(target);
            }
            child<QRadioButton>(form, exchange ? "rb3" : "rb4")->click();
            QTest::mouseClick(child<QPushButton>(form, "btnOK"), Qt::LeftButton);
        };
    }

    // The certificates on the token as its file holds them, per container: exchange, signature.
    static QMap<QString, QPair<QByteArray, QByteArray>> tokenCerts()
    {
        QMap<QString, QPair<QByteArray, QByteArray>> out;
        VToken t;
        if (VTokenStore().load(Serial, &t) != VTokenStore::Result::Ok)
            return out;
        for (const VToken::Container& c : t.containers)
            out.insert(QString::fromLocal8Bit(c.name), {c.exchange.certificate, c.signature.certificate});
        return out;
    }

    // A container on the token holding `cert` as its certificate of `keySpec`.
    Change holding(const QByteArray& name, int keySpec, const QString& cert) const
    {
        const QByteArray bytes = der(cert);
        return [=](VToken& t) {
            VToken::Container c;
            c.name = name;
            if (!cert.isEmpty())
                c.half(keySpec)->certificate = bytes;
            t.containers.append(c);
        };
    }

    static Change freeBytes(qint64 free)
    {
        return [=](VToken& t) {
            t.reservedMemory = 0;
            t.reservedMemory = t.freeMemory() - free;
        };
    }

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void passwordField_data();
    void passwordField();
    void containerChoice();
    void confirmChecks_data();
    void confirmChecks();
    void imports_data();
    void imports();
    void stopsBeforeWriting_data();
    void stopsBeforeWriting();
    void writeFailures_data();
    void writeFailures();
    void windowRespondsWhileWriting();
};

void TstCertImport::initTestCase()
{
    QVERIFY(m_files.isValid());
    QString error;
    const auto ec = [this](const char* name) {
        return QStringList{QStringLiteral("-newkey"),
                           QStringLiteral("ec"),
                           QStringLiteral("-pkeyopt"),
                           QStringLiteral("ec_paramgen_curve:P-256"),
                           QStringLiteral("-nodes"),
                           QStringLiteral("-keyout"),
                           file(QLatin1String(name) + QStringLiteral(".key"))};
    };
    const QString ca = QStringLiteral("basicConstraints=critical,CA:TRUE");
    const QString pass = QStringLiteral("pass:") + Password;
    writeFile(QStringLiteral("big.cnf"), "[big]\nnsComment=\"" + QByteArray(51 * 1024, 'A') + "\"\n");
    const QList<QStringList> keys = {
        QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ec("root") +
            QStringList{QStringLiteral("-subj"), QStringLiteral("/CN=Import Root"), QStringLiteral("-addext"),
                        ca, QStringLiteral("-out"), file(QStringLiteral("root.pem"))},
        QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ec("ca") +
            QStringList{QStringLiteral("-subj"), QStringLiteral("/CN=Import CA"), QStringLiteral("-addext"),
                        ca, QStringLiteral("-CA"), file(QStringLiteral("root.pem")), QStringLiteral("-CAkey"),
                        file(QStringLiteral("root.key")), QStringLiteral("-out"),
                        file(QStringLiteral("ca.pem"))},
        QStringList{QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                    QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                    file(QStringLiteral("user.key")), QStringLiteral("-subj"),
                    QStringLiteral("/CN=Import User"), QStringLiteral("-addext"),
                    QStringLiteral("basicConstraints=critical,CA:FALSE"), QStringLiteral("-CA"),
                    file(QStringLiteral("ca.pem")), QStringLiteral("-CAkey"), file(QStringLiteral("ca.key")),
                    QStringLiteral("-out"), file(QStringLiteral("user.pem"))},
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-key"),
         file(QStringLiteral("ca.key")), QStringLiteral("-subj"), QStringLiteral("/CN=big"),
         QStringLiteral("-config"), file(QStringLiteral("big.cnf")), QStringLiteral("-extensions"),
         QStringLiteral("big"), QStringLiteral("-outform"), QStringLiteral("DER"), QStringLiteral("-out"),
         file(QStringLiteral("big.cer"))},
    };
    for (const QStringList& step : keys)
        QVERIFY2(openssl(step, &error), qPrintable(error));
    writeFile(QStringLiteral("chain.pem"),
              readFile(QStringLiteral("ca.pem")) + readFile(QStringLiteral("root.pem")));
    const QList<QStringList> bundles = {
        {QStringLiteral("pkcs12"), QStringLiteral("-export"), QStringLiteral("-inkey"),
         file(QStringLiteral("user.key")), QStringLiteral("-in"), file(QStringLiteral("user.pem")),
         QStringLiteral("-certfile"), file(QStringLiteral("chain.pem")), QStringLiteral("-passout"), pass,
         QStringLiteral("-out"), file(QStringLiteral("user.p12"))},
        {QStringLiteral("pkcs12"), QStringLiteral("-export"), QStringLiteral("-nocerts"),
         QStringLiteral("-inkey"), file(QStringLiteral("user.key")), QStringLiteral("-passout"), pass,
         QStringLiteral("-out"), file(QStringLiteral("nocerts.p12"))},
        {QStringLiteral("crl2pkcs7"), QStringLiteral("-nocrl"), QStringLiteral("-certfile"),
         file(QStringLiteral("user.pem")), QStringLiteral("-certfile"), file(QStringLiteral("chain.pem")),
         QStringLiteral("-outform"), QStringLiteral("DER"), QStringLiteral("-out"),
         file(QStringLiteral("chain.p7b"))},
    };
    for (const QStringList& step : bundles)
        QVERIFY2(openssl(step, &error), qPrintable(error));
    for (const char* name : {"root", "ca", "user"})
        QVERIFY2(openssl({QStringLiteral("x509"), QStringLiteral("-in"),
                          file(QLatin1String(name) + QStringLiteral(".pem")), QStringLiteral("-outform"),
                          QStringLiteral("DER"), QStringLiteral("-out"),
                          file(QLatin1String(name) + QStringLiteral(".der"))},
                         &error),
                 qPrintable(error));
    // The OpenSSL 1.x algorithms need the legacy provider; without it that file is not made.
    m_legacy = openssl({QStringLiteral("pkcs12"), QStringLiteral("-export"), QStringLiteral("-legacy"),
                        QStringLiteral("-inkey"), file(QStringLiteral("user.key")), QStringLiteral("-in"),
                        file(QStringLiteral("user.pem")), QStringLiteral("-passout"), pass,
                        QStringLiteral("-out"), file(QStringLiteral("legacy.p12"))},
                       &error);

    writeFile(QStringLiteral("user.cer"), der(QStringLiteral("user")));
    writeFile(QStringLiteral("userpem.cer"), readFile(QStringLiteral("user.pem")));
    writeFile(QStringLiteral("user.crt"), readFile(QStringLiteral("user.p12")));
    writeFile(QStringLiteral("user.CER"), readFile(QStringLiteral("user.p12")));
    for (const QString& ext : {QStringLiteral("pfx"), QStringLiteral("p12"), QStringLiteral("crt"),
                               QStringLiteral("p7b"), QStringLiteral("cer")})
        writeFile(QStringLiteral("garbage.") + ext, QByteArray("this is no certificate file\n").repeated(20));
    const auto truncated = [this](const QString& from, const QString& to) {
        const QByteArray bytes = readFile(from);
        writeFile(to, bytes.left(bytes.size() / 2));
    };
    truncated(QStringLiteral("user.p12"), QStringLiteral("truncated.p12"));
    truncated(QStringLiteral("user.p12"), QStringLiteral("truncated.pfx"));
    truncated(QStringLiteral("chain.p7b"), QStringLiteral("truncated.p7b"));
    truncated(QStringLiteral("user.cer"), QStringLiteral("truncated.cer"));
    QVERIFY(readFile(QStringLiteral("big.cer")).size() > 51 * 1024);
}

void TstCertImport::init()
{
    m_env = std::make_unique<TestEnv>(false);
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_state = std::make_unique<TProgramState>();
    m_state->timings = testTimings();
    m_page = std::make_unique<TCertPage>(*m_state);
}

void TstCertImport::cleanup()
{
    m_page.reset();
    CerMgrApis::FreeTokenLibrary();
    m_state.reset();
    m_dialogs.reset();
    m_env.reset();
}

void TstCertImport::passwordField_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("dropped");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<bool>("password");

    QTest::newRow("browsed .pfx") << "garbage.pfx" << false << false << true;
    QTest::newRow("browsed .p12") << "user.p12" << false << true << true;
    QTest::newRow("browsed .crt") << "user.crt" << false << true << true;
    QTest::newRow("browsed .CER is PKCS#12") << "user.CER" << false << false << true;
    QTest::newRow("browsed .cer") << "user.cer" << false << true << false;
    QTest::newRow("browsed .p7b") << "chain.p7b" << false << true << false;
    QTest::newRow("dropped .p7b") << "chain.p7b" << true << true << true;
    QTest::newRow("dropped .cer") << "user.cer" << true << false << false;
    QTest::newRow("dropped .pfx") << "garbage.pfx" << true << true << true;
}

void TstCertImport::passwordField()
{
    QFETCH(QString, name);
    QFETCH(bool, dropped);
    QFETCH(bool, existing);
    QFETCH(bool, password);

    TIMForm form;
    form.setContainers(existing ? QStringList{QStringLiteral("box")} : QStringList(), 0);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* path = child<QLineEdit>(&form, "edtPath");
    auto* pwd = child<QLineEdit>(&form, "edtpwd");
    auto* ok = child<QPushButton>(&form, "btnOK");
    QVERIFY(!ok->isEnabled());
    QVERIFY(!pwd->isEnabled());
    QVERIFY(path->isReadOnly());
    QCOMPARE(path->focusPolicy(), Qt::NoFocus);

    if (dropped) {
        // Taken in drop order; a file that is not there is passed over.
        QMimeData mime;
        mime.setUrls(
            {QUrl::fromLocalFile(file(name)), QUrl::fromLocalFile(file(QStringLiteral("gone.pfx")))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(path, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(path, &drop);
    } else {
        choose(&form, name);
        QCOMPARE(m_dialogs->fileRequests().last().options.filter,
                 QStringLiteral("Cert file (*.pfx *.p12 *.p7b *.cer *.crt)"));
    }
    QCOMPARE(path->text(), file(name));
    QCOMPARE(pwd->isEnabled(), password);
    QCOMPARE(pwd->palette().color(QPalette::Base) == QColor(Qt::white), password);
    if (password)
        QCOMPARE(form.focusWidget(), pwd);
    QCOMPARE(ok->isEnabled(), existing);
}

void TstCertImport::containerChoice()
{
    TIMForm form;
    form.setContainers({}, -1);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), ResStrs::text("Main_Form_btn_Import"));
    QCOMPARE(child<QLabel>(&form, "Label2")->text(),
             ResStrs::text("Import_Form_Lable_Pwd") + QLatin1Char(':'));
    auto* rb1 = child<QRadioButton>(&form, "rb1");
    auto* rb2 = child<QRadioButton>(&form, "rb2");
    auto* name = child<QLineEdit>(&form, "edtContname");
    auto* names = child<QComboBox>(&form, "cbContName");
    auto* random = child<QPushButton>(&form, "btnRandom");
    auto* ok = child<QPushButton>(&form, "btnOK");
    QVERIFY(rb1->isChecked());
    QVERIFY(!rb2->isEnabled());
    QVERIFY(random->isEnabled());
    QVERIFY(!names->isEnabled());
    QVERIFY(child<QRadioButton>(&form, "rb3")->isChecked());

    QTest::keyClicks(name, QString(50, QLatin1Char('n')));
    QCOMPARE(name->text().size(), TIMForm::MaxContainerName);
    QVERIFY(ok->isEnabled());
    name->clear();
    QVERIFY(!ok->isEnabled());
    QTest::mouseClick(random, Qt::LeftButton);
    const QRegularExpression guid(
        QStringLiteral("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$"));
    const QString first = name->text();
    QVERIFY2(guid.match(first).hasMatch(), qPrintable(first));
    QVERIFY(ok->isEnabled());
    QTest::mouseClick(random, Qt::LeftButton);
    QVERIFY(name->text() != first);

    // The password length shows while the field has the focus.
    choose(&form, QStringLiteral("user.p12"));
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    auto* pwd = child<QLineEdit>(&form, "edtpwd");
    auto* length = child<QLabel>(&form, "Label1");
    pwd->setFocus();
    QX_TRY_COMPARE(length->text(), QStringLiteral("0"));
    QTest::keyClicks(pwd, QStringLiteral("abc"));
    QCOMPARE(length->text(), QStringLiteral("3"));
    QCOMPARE(pwd->echoMode(), QLineEdit::Normal);
    name->setFocus();
    QX_TRY_VERIFY(length->text().isEmpty());

    TIMForm offered;
    offered.setContainers({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, 1);
    offered.show();
    QVERIFY(QTest::qWaitForWindowExposed(&offered));
    auto* rb1b = child<QRadioButton>(&offered, "rb1");
    auto* rb2b = child<QRadioButton>(&offered, "rb2");
    QVERIFY(rb2b->isChecked());
    QCOMPARE(child<QComboBox>(&offered, "cbContName")->currentText(), QStringLiteral("b"));
    QVERIFY(!child<QLineEdit>(&offered, "edtContname")->isEnabled());
    QVERIFY(!child<QPushButton>(&offered, "btnRandom")->isEnabled());
    QVERIFY(!child<QPushButton>(&offered, "btnOK")->isEnabled());
    rb1b->click();
    QVERIFY(child<QLineEdit>(&offered, "edtContname")->isEnabled());
    QVERIFY(!child<QComboBox>(&offered, "cbContName")->isEnabled());
    QVERIFY(!child<QPushButton>(&offered, "btnOK")->isEnabled());
    rb2b->click();
    QVERIFY(child<QPushButton>(&offered, "btnOK")->isEnabled());
}

void TstCertImport::confirmChecks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("message"); // catalog key; empty: accepted
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("count");

    const QString pw = Password;
    QTest::newRow("no file") << QString() << QString() << "n"
                             << "I_SelectCert" << 0 << 0;
    QTest::newRow("wrong password") << "user.p12"
                                    << "wrong" << QString() << "I_CertPINError" << 0 << 0;
    QTest::newRow("no certificates") << "nocerts.p12" << pw << QString() << "I_CertFileError" << 0 << 0;
    QTest::newRow(".crt without password")
        << "user.crt" << QString() << QString() << "I_CertPINError" << 0 << 0;
    for (const char* bad : {"garbage.pfx", "garbage.p12", "garbage.crt", "garbage.p7b", "truncated.p12",
                            "truncated.pfx", "truncated.p7b"})
        QTest::newRow(bad) << bad << pw << QString() << "I_CertPINError" << 0 << 0;
    QTest::newRow("blank new name") << "user.cer" << QString() << "   "
                                    << "K_Cont_NullName" << 0 << 0;
    QTest::newRow("PKCS#12 with its chain") << "user.p12" << pw << QString() << QString() << 0 << 3;
    QTest::newRow(".crt is PKCS#12") << "user.crt" << pw << "n" << QString() << 0 << 3;
    QTest::newRow(".CER is PKCS#12") << "user.CER" << pw << QString() << QString() << 0 << 3;
    QTest::newRow("legacy PKCS#12") << "legacy.p12" << pw << QString() << QString() << 0 << 1;
    QTest::newRow("PKCS#7 bundle") << "chain.p7b" << QString() << QString() << QString() << 2 << 3;
    QTest::newRow("DER certificate") << "user.cer" << QString() << QString() << QString() << 1 << 1;
    // A single certificate file is only read when it is written to the token.
    QTest::newRow("garbage .cer") << "garbage.cer" << QString() << "n" << QString() << 1 << 1;
}

void TstCertImport::confirmChecks()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, target);
    QFETCH(QString, message);
    QFETCH(int, kind);
    QFETCH(int, count);
    if (name == QLatin1String("legacy.p12") && !m_legacy)
        QSKIP("openssl here has no legacy provider: no legacy PKCS#12 file to read");

    connectToken(nullptr);
    TIMForm form;
    form.setContainers(target.isEmpty() ? QStringList{QStringLiteral("box")} : QStringList(), 0);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    if (!name.isEmpty())
        choose(&form, name);
    auto* pwd = child<QLineEdit>(&form, "edtpwd");
    if (!password.isEmpty())
        pwd->setText(password);
    if (!target.isEmpty())
        child<QLineEdit>(&form, "edtContname")->setText(target);
    pwd->clearFocus();
    QTest::mouseClick(child<QPushButton>(&form, "btnOK"), Qt::LeftButton);

    if (message.isEmpty()) {
        QVERIFY(m_dialogs->messages().isEmpty());
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(int(form.kind()), kind);
        QCOMPARE(form.certCount(), count);
        QVERIFY(pwd->text().isEmpty()); // the password does not outlive the dialog's answer
    } else {
        QCOMPARE(m_dialogs->texts(), QStringList{ResStrs::text(message.toLatin1().constData())});
        QCOMPARE(m_dialogs->messages().first().title, ResStrs::text("P_MSGTitle"));
        QVERIFY(form.isVisible());
        if (message == QLatin1String("I_CertPINError"))
            QCOMPARE(form.focusWidget() == pwd, pwd->isEnabled());
    }
}

void TstCertImport::imports_data()
{
    QTest::addColumn<Change>("setUp");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("target"); // empty: the container the dialog offers, "box"
    QTest::addColumn<bool>("exchange");
    QTest::addColumn<QString>("chosen");   // certificate that lands in the target, empty: none
    QTest::addColumn<QStringList>("guid"); // certificates that land in new GUID-named containers
    QTest::addColumn<bool>("privateKey");

    const Change none;
    const QStringList chain = {QStringLiteral("ca"), QStringLiteral("root")};
    QTest::newRow("PKCS#12 with two CA certificates") << none << "user.p12"
                                                      << "alice" << true << "user" << chain << true;
    QTest::newRow("legacy PKCS#12") << none << "legacy.p12"
                                    << "bob" << false << "user" << QStringList() << true;
    QTest::newRow(".crt as PKCS#12") << none << "user.crt"
                                     << "carol" << false << "user" << chain << true;
    QTest::newRow("PKCS#7 bundle of three")
        << none << "chain.p7b"
        << "dave" << true << QString() << QStringList{"user", "ca", "root"} << false;
    QTest::newRow("DER certificate") << none << "user.cer"
                                     << "erin" << false << "user" << QStringList() << false;
    QTest::newRow("PEM certificate") << none << "userpem.cer"
                                     << "frank" << true << "user" << QStringList() << false;
    QTest::newRow("existing container, other half") << holding("box", 2, QStringLiteral("ca")) << "user.cer"
                                                    << QString() << true << "user" << QStringList() << false;
    QTest::newRow("name differing only in case") << holding("Box", 1, QStringLiteral("root")) << "user.cer"
                                                 << "box" << true << "user" << QStringList() << false;
    QTest::newRow("4097 bytes free") << freeBytes(4097) << "user.cer"
                                     << "small" << true << "user" << QStringList() << false;
}

void TstCertImport::imports()
{
    QFETCH(Change, setUp);
    QFETCH(QString, name);
    QFETCH(QString, target);
    QFETCH(bool, exchange);
    QFETCH(QString, chosen);
    QFETCH(QStringList, guid);
    QFETCH(bool, privateKey);
    if (name == QLatin1String("legacy.p12") && !m_legacy)
        QSKIP("openssl here has no legacy provider: no legacy PKCS#12 file to import");

    connectToken(setUp);
    const auto before = tokenCerts();
    TCertImport import(*m_state);
    QSignalSpy finished(&import, &TCertImport::finished);
    const QString password = TIMForm::kindOf(name) == ImportJob::Pkcs12 ? Password : QString();
    QVERIFY(runImport(import, fill(name, password, target, exchange)));
    QX_TRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().value<quint32>(), TokenStatus::Success);
    QCOMPARE(m_dialogs->texts(), QStringList());
    QVERIFY(!m_page->progressBar()->isVisible());
    QVERIFY(!import.busy());
    QVERIFY(!QApplication::overrideCursor());

    const QString box = target.isEmpty() ? QStringLiteral("box") : target;
    auto after = tokenCerts();
    if (chosen.isEmpty()) {
        QVERIFY(!after.contains(box));
    } else {
        QVERIFY(after.contains(box));
        const QPair<QByteArray, QByteArray> was = before.value(box);
        QCOMPARE(after[box].first, exchange ? der(chosen) : was.first);
        QCOMPARE(after[box].second, exchange ? was.second : der(chosen));
        qint32 keyType = -1;
        const KeySpec keySpec = exchange ? KeySpec::Exchange : KeySpec::Signature;
        CerMgrApis::ReloadTokenObjects(0);
        QCOMPARE(CerMgrApis::ReadPrivateKeyType(0, box, keySpec, keyType) == 0, privateKey);
    }
    for (const QString& c : before.keys())
        if (c != box)
            QCOMPARE(after.take(c), before.value(c));
    after.remove(box);
    const QRegularExpression guidName(QStringLiteral("^\\{[0-9A-F-]{36}\\}$"));
    QList<QByteArray> placed;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        QVERIFY2(guidName.match(it.key()).hasMatch(), qPrintable(it.key()));
        QVERIFY(it.value().first.isEmpty());
        placed << it.value().second;
    }
    QList<QByteArray> expected;
    for (const QString& c : guid)
        expected << der(c);
    std::sort(placed.begin(), placed.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(placed, expected);
}

void TstCertImport::stopsBeforeWriting_data()
{
    QTest::addColumn<Change>("setUp");
    QTest::addColumn<Script>("script");
    QTest::addColumn<QString>("message"); // catalog key; empty: none

    const Script noDialog = [](TIMForm*) { QFAIL("no dialog expected"); };
    QTest::newRow("4096 bytes free") << freeBytes(4096) << noDialog << "K_OutSpace_Error";
    QTest::newRow("cancelled") << Change() << Script([](TIMForm* form) {
        QTest::mouseClick(child<QPushButton>(form, "btnNO"), Qt::LeftButton);
    }) << QString();
    // What the main window does when a retry finds the token gone.
    QTest::newRow("token pulled out while the dialog is open") << Change() << Script([](TIMForm* form) {
        changeToken([](VToken& t) { t.pluggedIn = false; });
        form->close();
    }) << QString();
    QTest::newRow("new name equal to an existing one")
        << holding("box", 1, QString()) << fill(QStringLiteral("user.cer"), {}, QStringLiteral("box"), true)
        << "K_Cont_Name_Error";
    QTest::newRow("signature certificate already there")
        << holding("box", 2, QStringLiteral("ca")) << fill(QStringLiteral("user.cer"), {}, {}, false)
        << "K_spec_mode2";
    QTest::newRow("exchange certificate already there")
        << holding("box", 1, QStringLiteral("ca")) << fill(QStringLiteral("user.cer"), {}, {}, true)
        << "K_spec_mode1";
}

void TstCertImport::stopsBeforeWriting()
{
    QFETCH(Change, setUp);
    QFETCH(Script, script);
    QFETCH(QString, message);

    connectToken(setUp);
    const auto before = tokenCerts();
    TCertImport import(*m_state);
    QSignalSpy stopped(&import, &TCertImport::stopped);
    QSignalSpy finished(&import, &TCertImport::finished);
    bool leftOpen = false;
    QVERIFY(!runImport(import, script, &leftOpen));
    QVERIFY(!leftOpen);
    QCOMPARE(stopped.count(), 1);
    QCOMPARE(finished.count(), 0);
    QCOMPARE(m_dialogs->texts(),
             message.isEmpty() ? QStringList() : QStringList{ResStrs::text(message.toLatin1().constData())});
    QCOMPARE(tokenCerts(), before);
    QVERIFY(!QApplication::overrideCursor());
}

void TstCertImport::writeFailures_data()
{
    QTest::addColumn<Change>("setUp");
    QTest::addColumn<bool>("loggedOut");
    QTest::addColumn<QString>("name");
    QTest::addColumn<quint32>("status");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("containers"); // on the token afterwards

    const auto failed = [](const char* code) {
        return ResStrs::text("K_Import_Error") + ResStrs::text("K_ErrorCODE_Str") + QStringLiteral("  0x") +
               QLatin1String(code);
    };
    const auto withFault = [](VToken::Fault::Kind kind, const char* function, quint32 status) {
        return Change([=](VToken& t) {
            VToken::Fault f = fault(kind, function);
            f.status = status;
            t.faults.append(f);
        });
    };
    const QString full = ResStrs::text("K_OutSpace_Error");

    QTest::newRow("51 KB certificate") << Change() << false << "big.cer" << TokenStatus::CertificateTooLarge
                                       << ResStrs::text("K_Cert_TooLarge") << QStringList();
    QTest::newRow("token kept busy by another program")
        << withFault(VToken::Fault::FailNextCall, "x509_import_certificate", TokenStatus::Busy) << false
        << "user.cer" << TokenStatus::Busy << ResStrs::text("K_Token_Busy") << QStringList();
    QTest::newRow("token full during the import")
        << withFault(VToken::Fault::FailNextCall, "x509_import_certificate", TokenStatus::OutOfSpace) << false
        << "user.cer" << TokenStatus::OutOfSpace << full << QStringList();
    QStringList many;
    for (int i = 0; i < 65; ++i)
        many << QStringLiteral("c%1").arg(i);
    const Change fill65 = [=](VToken& t) {
        for (const QString& n : many)
            t.containers.append(VToken::Container{n.toLatin1(), {}, {}});
    };
    many.sort(); // as the token's containers are listed below
    QTest::newRow("65 containers") << fill65 << false << "user.cer" << TokenStatus::OutOfSpace << full
                                   << many;
    QTest::newRow("not logged in") << Change() << true << "user.cer" << TokenStatus::NoRights
                                   << ResStrs::text("F_Power_Lower") << QStringList();
    QTest::newRow("pulled out while the container is made")
        << withFault(VToken::Fault::PullOutNextCall, "container_create_new", 0) << false << "user.cer"
        << quint32(0x0A000023) << failed("0A000023") << QStringList();
    // The container was made before the token went; the certificate never arrives.
    QTest::newRow("pulled out while the certificate is written")
        << withFault(VToken::Fault::PullOutNextCall, "x509_import_certificate", 0) << false << "user.cer"
        << quint32(0x0A000023) << failed("0A000023") << QStringList{QStringLiteral("target")};
    QTest::newRow("garbage .cer") << Change() << false << "garbage.cer" << quint32(0x0A000111)
                                  << failed("0A000111") << QStringList();
    QTest::newRow("truncated .cer") << Change() << false << "truncated.cer" << quint32(0x0A000111)
                                    << failed("0A000111") << QStringList();
    QTest::newRow("first failure stops a bundle")
        << withFault(VToken::Fault::FailNextCall, "pkcs12_import_certificate", 0x0A000001) << false
        << "user.p12" << quint32(0x0A000001) << failed("0A000001") << QStringList();
}

void TstCertImport::writeFailures()
{
    QFETCH(Change, setUp);
    QFETCH(bool, loggedOut);
    QFETCH(QString, name);
    QFETCH(quint32, status);
    QFETCH(QString, message);
    QFETCH(QStringList, containers);

    connectToken(setUp);
    if (loggedOut)
        QCOMPARE(CerMgrApis::LogoutToken(0), TokenStatus::Success);
    const int present = int(tokenCerts().size());
    TCertImport import(*m_state);
    QSignalSpy finished(&import, &TCertImport::finished);
    const QString password = TIMForm::kindOf(name) == ImportJob::Pkcs12 ? Password : QString();
    const Script filled = fill(name, password, QStringLiteral("target"), true);
    int offered = -1;
    QVERIFY(runImport(import, [&](TIMForm* form) {
        offered = child<QComboBox>(form, "cbContName")->count();
        filled(form);
    }));
    QCOMPARE(offered, present); // every container of the token is offered
    QX_TRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().value<quint32>(), status);
    QCOMPARE(import.lastStatus(), status);
    QCOMPARE(m_dialogs->texts(), QStringList{message});
    QVERIFY(!m_page->progressBar()->isVisible());
    QVERIFY(!QApplication::overrideCursor());
    const auto after = tokenCerts();
    QCOMPARE(after.keys(), containers);
    for (const auto& halves : after) {
        QVERIFY(halves.first.isEmpty());
        QVERIFY(halves.second.isEmpty());
    }
}

void TstCertImport::windowRespondsWhileWriting()
{
    connectToken(nullptr);
    TCertImport import(*m_state);
    QSignalSpy finished(&import, &TCertImport::finished);
    QSignalSpy refreshed(m_page->refreshAction(), &QAction::triggered);
    // Holding the token's lock keeps the worker waiting inside its write for as long as the test needs.
    auto lock = std::make_unique<VFileLock>(VTokenStore().lockPath(Serial));
    QVERIFY(lock->tryLock(0));
    QVERIFY(runImport(import, fill(QStringLiteral("user.cer"), {}, QStringLiteral("slow"), true)));
    QVERIFY(import.busy());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

    // The window keeps handling events and the bar keeps moving...
    QProgressBar* bar = m_page->progressBar();
    QVERIFY(bar->isVisible());
    QX_TRY_VERIFY(bar->value() > 0);
    bool ticked = false;
    QTimer::singleShot(0, this, [&] { ticked = true; });
    QX_TRY_VERIFY(ticked);
    // ...but starts no other token action, and closing it waits for the writing to end.
    QTest::mouseClick(m_page->findChild<QWidget*>(QStringLiteral("btnCertRefresh")), Qt::LeftButton);
    QCOMPARE(refreshed.count(), 0);
    QVERIFY(!import.run(m_page.get(), bar)); // one import at a time
    QVERIFY(!m_page->close());
    QVERIFY(m_page->isVisible());
    QVERIFY(import.busy());
    QCOMPARE(finished.count(), 0);

    lock.reset();
    QX_TRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().value<quint32>(), TokenStatus::Success);
    QCOMPARE(tokenCerts().value(QStringLiteral("slow")).first, der(QStringLiteral("user")));
    QX_TRY_VERIFY(!m_page->isVisible());
    QVERIFY(!QApplication::overrideCursor());
}

QTEST_MAIN(TstCertImport)
#include "tst_certimport.moc"
