// SPDX-License-Identifier: BSD-3-Clause
// The whole main window on a SoftHSM2 token reached through its PKCS#11 module: login, the certificate
// tree, an import through the dialog, and the pages for what PKCS#11 offers no call for.
#include "CertFixtures.h"
#include "ScriptedDialogs.h"
#include "SoftHsmToken.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "app/PageId.h"
#include "app/TMainForm.h"
#include "app/TNavigator.h"
#include "certs/TIMForm.h"
#include "i18n/ResStrs.h"
#include "ui/TPage.h"
#include "ui/TProgramState.h"
#include "ui/TStartOptions.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {
const QByteArray UserPin("12345678");
const QByteArray SoPin("87654321");
const QString Label = QStringLiteral("Desk A");
} // namespace

class TestSoftHsmFlow : public QObject
{
    Q_OBJECT

    std::unique_ptr<CertFixtures> m_files;
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<SoftHsmToken> m_hsm;
    std::unique_ptr<TMainForm> m_form;

    QTreeWidget* navigation() const { return m_form->findChild<QTreeWidget*>(QStringLiteral("tv")); }

    // The node of the token labelled `Label`; SoftHSM2 also lists a free token that is not initialized.
    QTreeWidgetItem* tokenNode() const
    {
        QTreeWidgetItem* root = navigation()->topLevelItem(0);
        for (int i = 0; root && i < root->childCount(); ++i)
            if (root->child(i)->text(0) == Label)
                return root->child(i);
        return nullptr;
    }
    QTreeWidgetItem* childFor(PageId page) const
    {
        QTreeWidgetItem* token = tokenNode();
        for (int i = 0; token && i < token->childCount(); ++i)
            if (token->child(i)->data(0, TNavigator::PageRole).value<PageId>() == page)
                return token->child(i);
        return nullptr;
    }
    QWidget* currentPage() const
    {
        return m_form->findChild<QStackedWidget*>(QStringLiteral("RPC"))->currentWidget();
    }
    template <typename T> T* child(QWidget* parent, const char* name) const
    {
        T* w = parent->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no %s", name);
        return w;
    }
    QTreeWidget* certTree() const { return child<QTreeWidget>(m_form->page(PageId::Cert), "tvCert"); }

    void login(const QByteArray& pin)
    {
        auto* edit = child<QLineEdit>(m_form->page(PageId::Login), "edtUPIN");
        edit->clear();
        QTest::keyClicks(edit, QString::fromLatin1(pin));
        QTest::keyClick(edit, Qt::Key_Return);
    }

    void openWindow()
    {
        TStartOptions options;
        options.modulePath = QString::fromLocal8Bit(SoftHsmToken::module());
        m_form = std::make_unique<TMainForm>(options);
        m_form->state().timings = testTimings();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QX_TRY_VERIFY(childFor(PageId::Cert));
        navigation()->setCurrentItem(tokenNode());
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_files = std::make_unique<CertFixtures>();
        QVERIFY2(m_files->ok(), qPrintable(m_files->error()));
    }
    void init()
    {
        // The shipped language file, which offers the import.
        ResStrs::resetToDefaults();
        ResStrs::load(QStringLiteral(QX_LANGUAGES_DIR "/CHS_2052.lng"));
        m_env = std::make_unique<TestEnv>(false);
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_hsm = std::make_unique<SoftHsmToken>();
        if (!m_hsm->ok())
            QSKIP("SoftHSM2 is not installed (scripts/install-deps.sh installs it)");
        QVERIFY(m_hsm->initToken(Label, UserPin, SoPin));
    }
    void cleanup()
    {
        m_form.reset();
        m_hsm.reset();
        m_dialogs.reset();
        m_env.reset();
    }

    void loginTreeAndImport()
    {
        openWindow();
        // SoftHSM2's free token has neither label nor serial number: it is named, not an empty line.
        QTreeWidgetItem* root = navigation()->topLevelItem(0);
        QCOMPARE(root->childCount(), 2);
        for (int i = 0; i < root->childCount(); ++i)
            QVERIFY(!root->child(i)->text(0).isEmpty());
        navigation()->setCurrentItem(childFor(PageId::Cert));
        QCOMPARE(currentPage(), m_form->page(PageId::Login));

        // The token says the PIN is wrong but not how many tries are left: wrong, not locked.
        login("00000000");
        QCOMPARE(m_dialogs->lastText(), ResStrs::text("K_PIN_Error"));
        QCOMPARE(currentPage(), m_form->page(PageId::Login));

        login(UserPin);
        QX_TRY_COMPARE(currentPage(), m_form->page(PageId::Cert));
        QCOMPARE(certTree()->topLevelItemCount(), 1); // the line that says there is no container
        QCOMPARE(certTree()->topLevelItem(0)->childCount(), 0);

        // The import dialog, filled once it is open: the PKCS#12 file, its password, a new container
        // for the exchange usage.
        QTimer driver;
        driver.setInterval(0);
        connect(&driver, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<TIMForm*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            driver.stop();
            m_dialogs->setNextFileName(m_files->path(QStringLiteral("user.p12")));
            QTest::mouseClick(child<QPushButton>(dialog, "btnpath"), Qt::LeftButton);
            child<QLineEdit>(dialog, "edtpwd")->setText(QString::fromUtf8(CertFixtures::Password));
            child<QRadioButton>(dialog, "rb1")->click();
            child<QLineEdit>(dialog, "edtContname")->setText(QStringLiteral("desk keys"));
            child<QRadioButton>(dialog, "rb3")->click();
            QTest::mouseClick(child<QPushButton>(dialog, "btnOK"), Qt::LeftButton);
        });
        driver.start();
        auto* import = child<QAction>(m_form->page(PageId::Cert), "AcInputCert");
        QX_TRY_VERIFY(import->isEnabled());
        import->trigger();

        // The end-entity certificate with its key pair, and the chain's certificates each in a
        // container of its own.
        const auto container = [this](const QString& name) -> QTreeWidgetItem* {
            for (int i = 0; i < certTree()->topLevelItemCount(); ++i)
                if (certTree()->topLevelItem(i)->text(0).startsWith(name))
                    return certTree()->topLevelItem(i);
            return nullptr;
        };
        QX_TRY_VERIFY(container(QStringLiteral("desk keys")));
        QTreeWidgetItem* keys = container(QStringLiteral("desk keys"));
        QCOMPARE(keys->childCount(), 1);
        QCOMPARE(keys->child(0)->text(0), ResStrs::text("K_Cert_mode1"));
        QCOMPARE(keys->child(0)->childCount(), 3); // the certificate with its public and private key
        QCOMPARE(certTree()->topLevelItemCount(),
                 2); // and the issuer's certificate in a container of its own
        // Nothing failed; SoftHSM2's free token is not initialized, which the window says once.
        QStringList texts = m_dialogs->texts();
        texts.removeIf([](const QString& t) { return t.startsWith(ResStrs::text("Init_Info")); });
        QCOMPARE(texts, QStringList{ResStrs::text("K_PIN_Error")});
    }

    // A wrong PIN on a token that does not count tries aloud is called wrong, never locked.
    void wrongPinsSayWrongNotLocked_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QStringList>("fields"); // current PIN, new PIN, its confirmation
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("key");
        QTest::newRow("user PIN change")
            << int(PageId::UserPin) << QStringList{"edtOldUPin", "edtNewUPin1", "edtNewUPin2"}
            << "AcSetUserPIN"
            << "K_PIN_Error";
        QTest::newRow("SO PIN change")
            << int(PageId::SoPin) << QStringList{"edtSPIN", "edtNewSPIN1", "edtNewSPIN2"} << "AcSetSOPIN"
            << "SOPIN_Error";
    }
    void wrongPinsSayWrongNotLocked()
    {
        QFETCH(int, page);
        QFETCH(QStringList, fields);
        QFETCH(QString, action);
        QFETCH(QString, key);
        openWindow();
        QWidget* p = m_form->page(PageId(page));
        QTest::keyClicks(child<QLineEdit>(p, fields[0].toLatin1().constData()), QStringLiteral("00000000"));
        for (int i = 1; i < 3; ++i)
            QTest::keyClicks(child<QLineEdit>(p, fields[i].toLatin1().constData()),
                             QStringLiteral("24682468"));
        auto* a = child<QAction>(p, action.toLatin1().constData());
        QX_TRY_VERIFY(a->isEnabled());
        a->trigger();
        QVERIFY2(m_dialogs->lastText().contains(ResStrs::text(key.toLatin1().constData())),
                 qPrintable(m_dialogs->lastText()));
        QVERIFY(!m_dialogs->lastText().contains(ResStrs::text("K_Dead")));
    }

    // What PKCS#11 has no call for is off, with a line saying why, on every page that offers it.
    void pagesForWhatTheTokenCannotDo_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("key");
        QTest::newRow("label") << int(PageId::KeyLabel) << "AcSetKeyName"
                               << "lblLabelNotSupported"
                               << "K_Label_NotSupported";
        QTest::newRow("remote unlock") << int(PageId::RemoteUnlock) << "AcRequest"
                                       << "lblUnlockNotSupported"
                                       << "P_Unlock_NotSupported";
        QTest::newRow("CD-ROM image") << int(PageId::Iso) << "AcDownISO"
                                      << "lblIsoNotSupported"
                                      << "ISO_NotSupported";
    }
    void pagesForWhatTheTokenCannotDo()
    {
        QFETCH(int, page);
        QFETCH(QString, action);
        QFETCH(QString, hint);
        QFETCH(QString, key);
        openWindow();
        QWidget* p = m_form->page(PageId(page));
        auto* a = child<QAction>(p, action.toLatin1().constData());
        auto* line = child<QLabel>(p, hint.toLatin1().constData());
        QX_TRY_VERIFY(line->isVisibleTo(p));
        QCOMPARE(line->text(), ResStrs::text(key.toLatin1().constData()));
        QVERIFY(!a->isEnabled());
        // Run anyway (Enter in a field does that), it says the same and changes nothing.
        a->setEnabled(true);
        a->trigger();
        QCOMPARE(m_dialogs->lastText(), ResStrs::text(key.toLatin1().constData()));
    }
};

QTEST_MAIN(TestSoftHsmFlow)
#include "tst_softhsmflow.moc"
