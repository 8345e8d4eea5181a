// SPDX-License-Identifier: BSD-3-Clause
// The tool's certificate viewer, opened through the service layer on certificates written by the
// openssl command line, read through its widgets while it is modal, then closed.
#include "CertFixtures.h"
#include "TestEnv.h"
#include "certs/TCertViewer.h"
#include "i18n/ResStrs.h"
#include "token/CerMgrApis.h"
#include "token/TokenStatus.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

// What the viewer showed, read while it was open.
struct Shown
{
    bool opened = false;
    QString title;
    QWidget* parent = nullptr;
    QMap<QString, QString> labels;   // objectName -> text
    QMap<QString, QString> captions; // objectName of a value -> the caption of its row
    QStringList tabs;
    QStringList headers;
    QString closeText;
    QList<QPair<QString, QString>> extensions;
};

QDialog* openViewer()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("CertViewer") && w->isVisible())
            return qobject_cast<QDialog*>(w);
    return nullptr;
}

bool anyViewer()
{
    for (QWidget* w : QApplication::allWidgets())
        if (w->objectName() == QLatin1String("CertViewer"))
            return true;
    return false;
}

QString spaced(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// "notBefore=Mar  5 10:00:00 2019 GMT" as written by openssl x509 -dates.
QString opensslDate(const QString& line)
{
    const QString value = line.section(QLatin1Char('='), 1).simplified();
    const QDateTime t = QDateTime::fromString(value.left(value.lastIndexOf(QLatin1Char(' '))),
                                              QStringLiteral("MMM d HH:mm:ss yyyy"));
    return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'")) : QString();
}

} // namespace

class TstCertViewer : public QObject
{
    Q_OBJECT

    std::unique_ptr<CertFixtures> m_files;
    std::unique_ptr<TestEnv> m_env;

    // Runs the viewer with a zero-delay timer that reads it and then presses Close.
    Shown show(const QByteArray& der, quintptr window, quint32* status)
    {
        Shown shown;
        int attempts = 0;
        QTimer poll; // scoped, so nothing is left queued once the viewer has come and gone
        QObject::connect(&poll, &QTimer::timeout, [&] {
            poll.setInterval(10);
            QDialog* dlg = openViewer();
            if (!dlg) {
                // Not open yet; after a while close whatever is modal, so a failure cannot hang the run.
                if (++attempts > 500)
                    if (QWidget* modal = QApplication::activeModalWidget())
                        modal->close();
                return;
            }
            poll.stop();
            shown.opened = true;
            shown.title = dlg->windowTitle();
            shown.parent = dlg->parentWidget();
            for (QLabel* l : dlg->findChildren<QLabel*>())
                if (!l->objectName().isEmpty())
                    shown.labels.insert(l->objectName(), l->text());
            for (QFormLayout* form : dlg->findChildren<QFormLayout*>())
                for (int r = 0; r < form->rowCount(); ++r) {
                    auto* caption = form->itemAt(r, QFormLayout::LabelRole);
                    auto* value = form->itemAt(r, QFormLayout::FieldRole);
                    auto* captionLabel = caption ? qobject_cast<QLabel*>(caption->widget()) : nullptr;
                    if (captionLabel && value && value->widget())
                        shown.captions.insert(value->widget()->objectName(), captionLabel->text());
                }
            if (auto* tabs = dlg->findChild<QTabWidget*>(QStringLiteral("tabs")))
                for (int i = 0; i < tabs->count(); ++i)
                    shown.tabs.append(tabs->tabText(i));
            if (auto* tree = dlg->findChild<QTreeWidget*>(QStringLiteral("extensions"))) {
                for (int c = 0; c < tree->columnCount(); ++c)
                    shown.headers.append(tree->headerItem()->text(c));
                for (int i = 0; i < tree->topLevelItemCount(); ++i)
                    shown.extensions.append({tree->topLevelItem(i)->text(0), tree->topLevelItem(i)->text(1)});
            }
            auto* buttons = dlg->findChild<QDialogButtonBox*>(QStringLiteral("buttons"));
            if (buttons && buttons->button(QDialogButtonBox::Close))
                shown.closeText = buttons->button(QDialogButtonBox::Close)->text();
            if (buttons && buttons->button(QDialogButtonBox::Close))
                QTest::mouseClick(buttons->button(QDialogButtonBox::Close), Qt::LeftButton);
            else
                dlg->reject();
        });
        poll.start(0);
        *status = CerMgrApis::ShowCertificateDialog(window, der);
        return shown;
    }

    QStringList openssl(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral("openssl"), args);
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_files = std::make_unique<CertFixtures>();
        QVERIFY2(m_files->ok(), qPrintable(m_files->error()));
        CerMgrApis::SetCertificateViewer(&TCertViewer::showModal);
    }

    void init() { m_env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        m_env.reset();
        ResStrs::resetToDefaults();
    }

    void showsTheCertificate_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("withOwner");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("issuer");
        QTest::addColumn<QString>("publicKey");
        QTest::addColumn<QString>("basicConstraints");
        QTest::addColumn<QString>("language"); // empty: the built-in Chinese texts

        QTest::newRow("RSA user under the CA, Chinese")
            << "user.pem" << false << QStringLiteral("CN=张三 User, C=CN")
            << QStringLiteral("CN=Test CA, C=CN") << "RSA, 2048 位"
            << "CA:FALSE" << QString();
        QTest::newRow("EC CA under the Chinese root, owned by a window, English")
            << "ca.pem" << true << QStringLiteral("CN=Test CA, C=CN")
            << QStringLiteral("CN=根证书 Root, O=测试机构, C=CN") << "EC (prime256v1), 256 bits"
            << "CA:TRUE" << QStringLiteral("EN_1033.lng");
    }

    void showsTheCertificate()
    {
        QFETCH(QString, file);
        QFETCH(bool, withOwner);
        QFETCH(QString, subject);
        QFETCH(QString, issuer);
        QFETCH(QString, publicKey);
        QFETCH(QString, basicConstraints);
        QFETCH(QString, language);
        if (!language.isEmpty())
            ResStrs::load(m_env->appDir() + QStringLiteral("Languages/") + language);

        const QByteArray der = m_files->der(file);
        QVERIFY(!der.isEmpty());
        // The facts as the openssl command line reads them from the same file.
        QString serial, validFrom, validTo;
        for (const QString& line :
             openssl({QStringLiteral("x509"), QStringLiteral("-in"), m_files->path(file),
                      QStringLiteral("-noout"), QStringLiteral("-serial"), QStringLiteral("-dates")})) {
            if (line.startsWith(QLatin1String("serial=")))
                serial = line.mid(7).toUpper();
            else if (line.startsWith(QLatin1String("notBefore=")))
                validFrom = opensslDate(line);
            else if (line.startsWith(QLatin1String("notAfter=")))
                validTo = opensslDate(line);
        }
        QVERIFY(!serial.isEmpty() && !validFrom.isEmpty() && !validTo.isEmpty());
        if (file == QLatin1String("user.pem"))
            QCOMPARE(serial, QStringLiteral("1A2B3C"));

        QWidget owner;
        owner.setObjectName(QStringLiteral("owner"));
        if (withOwner) {
            owner.show();
            QVERIFY(QTest::qWaitForWindowExposed(&owner));
        }
        quint32 status = 0xFFFFFFFF;
        const Shown shown = show(der, withOwner ? quintptr(owner.winId()) : 0, &status);

        QCOMPARE(status, TokenStatus::Success);
        QVERIFY(shown.opened);
        QVERIFY(!anyViewer());
        QVERIFY(!QApplication::activeModalWidget());
        if (withOwner)
            QCOMPARE(shown.parent, &owner);
        QCOMPARE(shown.title, subject);
        QCOMPARE(shown.labels.value(QStringLiteral("subject")), subject);
        QCOMPARE(shown.labels.value(QStringLiteral("issuer")), issuer);
        QCOMPARE(shown.labels.value(QStringLiteral("version")), QStringLiteral("V3"));
        QCOMPARE(shown.labels.value(QStringLiteral("serial")), serial);
        QCOMPARE(shown.labels.value(QStringLiteral("validFrom")), validFrom);
        QCOMPARE(shown.labels.value(QStringLiteral("validTo")), validTo);
        QCOMPARE(shown.labels.value(QStringLiteral("publicKey")), publicKey);
        QVERIFY(shown.labels.value(QStringLiteral("signature"))
                    .contains(QLatin1String("SHA256"), Qt::CaseInsensitive));
        QCOMPARE(shown.labels.value(QStringLiteral("sha1")),
                 spaced(QCryptographicHash::hash(der, QCryptographicHash::Sha1)));
        QCOMPARE(shown.labels.value(QStringLiteral("sha256")),
                 spaced(QCryptographicHash::hash(der, QCryptographicHash::Sha256)));

        // Every caption in the window's language, none left in another.
        const struct
        {
            const char* value;
            const char* key;
        } rows[] = {{"subject", "CertView_Form_Subject"},     {"issuer", "CertView_Form_Issuer"},
                    {"version", "CertView_Form_Version"},     {"serial", "CertView_Form_Serial"},
                    {"validFrom", "CertView_Form_ValidFrom"}, {"validTo", "CertView_Form_ValidTo"},
                    {"publicKey", "CertView_Form_PublicKey"}, {"signature", "CertView_Form_Signature"},
                    {"sha1", "CertView_Form_Sha1"},           {"sha256", "CertView_Form_Sha256"}};
        for (const auto& row : rows)
            QCOMPARE(shown.captions.value(QLatin1String(row.value)), ResStrs::text(row.key));
        QCOMPARE(shown.tabs, QStringList({ResStrs::text("CertView_Form_General"),
                                          ResStrs::text("CertView_Form_Extensions")}));
        QCOMPARE(shown.headers, QStringList({ResStrs::text("CertView_Form_Extension"),
                                             ResStrs::text("CertView_Form_Value")}));
        QCOMPARE(shown.closeText, ResStrs::text("P_Btn_Close"));
        QCOMPARE(ResStrs::text("CertView_Form_Subject"),
                 language.isEmpty() ? QStringLiteral("使用者：") : QStringLiteral("Subject:"));

        bool sawConstraints = false, sawKeyId = false;
        for (const auto& [name, value] : shown.extensions) {
            if (name ==
                ResStrs::text("CertView_Ext_BasicConstraints") + ResStrs::text("CertView_Form_Critical")) {
                sawConstraints = true;
                QCOMPARE(value, basicConstraints);
            }
            if (name == ResStrs::text("CertView_Ext_SubjectKeyId"))
                sawKeyId = !value.isEmpty();
        }
        QVERIFY2(sawConstraints,
                 qPrintable(shown.extensions.isEmpty() ? QString() : shown.extensions[0].first));
        QVERIFY(sawKeyId);
    }

    void refusesWhatIsNotACertificate_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<quint32>("status");

        const QByteArray der = m_files->der(QStringLiteral("user.pem"));
        QFile pem(m_files->path(QStringLiteral("user.pem")));
        QVERIFY(pem.open(QIODevice::ReadOnly));
        QFile p7(m_files->path(QStringLiteral("chain.p7b")));
        QVERIFY(p7.open(QIODevice::ReadOnly));

        QTest::newRow("garbage") << QByteArray("not a certificate at all") << TokenStatus::NotACertificate;
        QTest::newRow("truncated DER") << der.left(der.size() / 2) << TokenStatus::NotACertificate;
        QTest::newRow("DER with trailing bytes") << der + QByteArray(4, '\0') << TokenStatus::NotACertificate;
        QTest::newRow("PEM text") << pem.readAll() << TokenStatus::NotACertificate;
        QTest::newRow("PKCS#7 bundle") << p7.readAll() << TokenStatus::NotACertificate;
        QTest::newRow("nothing") << QByteArray() << TokenStatus::BadArgument;
        QTest::newRow("over the token's capacity")
            << der + QByteArray(TQ7CertInfo::CertCapacity, 'x') << TokenStatus::TooLong;
    }

    void refusesWhatIsNotACertificate()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(quint32, status);

        quint32 got = TokenStatus::Success;
        bool sawDialog = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                sawDialog = true;
                modal->close();
            }
        });
        watch.start(0);
        got = CerMgrApis::ShowCertificateDialog(0, bytes);
        QCOMPARE(got, status);
        QCoreApplication::processEvents(); // a viewer shown without its own loop would be seen now
        QVERIFY(!sawDialog);
        QVERIFY(!anyViewer());
    }

    // Without the tool's viewer the library is asked, and it has no user interface of its own.
    void withoutTheToolsViewerTheLibraryHasNone()
    {
        CerMgrApis::SetCertificateViewer({});
        const quint32 status = CerMgrApis::ShowCertificateDialog(0, m_files->der(QStringLiteral("user.pem")));
        CerMgrApis::SetCertificateViewer(&TCertViewer::showModal);
        QCOMPARE(status, quint32(0x0A000124)); // the library's "no viewer" status
        QVERIFY(!anyViewer());
    }
};

QTEST_MAIN(TstCertViewer)
#include "tst_certviewer.moc"
