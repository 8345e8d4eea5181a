// SPDX-License-Identifier: BSD-3-Clause
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "i18n/ResStrs.h"
#include "platform/DialogService.h"
#include "platform/WidgetDialogs.h"
#include "ui/Messages.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {
// Acts on the modal dialog once it is open (the real dialogs block in exec()).
void whenModal(std::function<void(QWidget*)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        }
    });
    timer->start();
}
} // namespace

class TestDialogService : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { ResStrs::resetToDefaults(); }

    void qtFilter_data()
    {
        QTest::addColumn<QString>("windows");
        QTest::addColumn<QString>("qt");
        QTest::newRow("one pattern") << "ISO File (*.iso)|*.iso"
                                     << "ISO File (*.iso) (*.iso)";
        QTest::newRow("several patterns") << "Cert file|*.pfx;*.p12;*.p7b;*.cer;*.crt"
                                          << "Cert file (*.pfx *.p12 *.p7b *.cer *.crt)";
        QTest::newRow("two filters") << "Text|*.txt|All|*.*"
                                     << "Text (*.txt);;All (*.*)";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("name without patterns") << "Text"
                                               << "";
    }
    void qtFilter()
    {
        QFETCH(QString, windows);
        QFETCH(QString, qt);
        QCOMPARE(DialogService::qtFilter(windows), qt);
    }

    void scriptedRecordsEveryBox()
    {
        ScriptedDialogs dialogs;
        QWidget owner;
        dialogs.setNextAnswer(true);
        Messages::information(&owner, QStringLiteral("one"));
        QVERIFY(Messages::question(&owner, QStringLiteral("two")));
        QVERIFY(!DialogService::instance().question(nullptr, QStringLiteral("标题"), QStringLiteral("three"),
                                                    true));

        QCOMPARE(dialogs.texts(), QStringList({"one", "two", "three"}));
        const auto& m = dialogs.messages();
        QCOMPARE(m[0].icon, DialogService::Icon::Information);
        QCOMPARE(m[1].icon, DialogService::Icon::Question);
        QCOMPARE(m[0].title, QStringLiteral("提示"));
        QCOMPARE(m[2].title, QStringLiteral("标题"));
        QCOMPARE(m[0].ownerAtShow, &owner);
        QCOMPARE(m[2].ownerAtShow, nullptr);
        QVERIFY(!m[1].topMost);
        QVERIFY(m[2].topMost);
    }

    void scriptedAnswersFilesAndPins()
    {
        ScriptedDialogs dialogs;
        dialogs.setNextFileName(QStringLiteral("/tmp/a.cer"));
        dialogs.setNextSoPin(QStringLiteral("12345678"));
        DialogService& s = DialogService::instance();
        DialogService::FileDialogOptions cer;
        cer.defaultSuffix = QStringLiteral("cer");
        QCOMPARE(s.saveFileName(nullptr, cer), "/tmp/a.cer");
        QCOMPARE(s.openFileName(nullptr, {}), QString()); // nothing queued: cancelled
        QCOMPARE(s.soPinInput(nullptr, "c", "p", QString(), "OK", "Cancel"), "12345678");
        QCOMPARE(s.soPinInput(nullptr, "c", "p", "init", "OK", "Cancel"), "init");
        QCOMPARE(dialogs.fileRequests().size(), 2);
        QVERIFY(dialogs.fileRequests()[0].save);
        QCOMPARE(dialogs.fileRequests()[0].options.defaultSuffix, "cer");
        QCOMPARE(dialogs.soPinRequests().size(), 2);
    }

    void uninstallRestoresRealDialogs()
    {
        {
            ScriptedDialogs dialogs;
            QVERIFY(dynamic_cast<ScriptedDialogs*>(&DialogService::instance()));
        }
        QVERIFY(dynamic_cast<WidgetDialogs*>(&DialogService::instance()));
    }

    void realMessageBox_data()
    {
        QTest::addColumn<bool>("question");
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("result");
        QTest::newRow("information") << false << "OK" << true;
        QTest::newRow("question yes") << true << "Yes" << true;
        QTest::newRow("question no") << true << "No" << false;
    }
    void realMessageBox()
    {
        QFETCH(bool, question);
        QFETCH(QString, button);
        QFETCH(bool, result);
        QWidget owner;
        owner.show();
        QString title, text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QWidget* parent = nullptr;
        whenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            parent = box->parentWidget();
            for (QAbstractButton* b : box->buttons())
                if (box->standardButton(b) == (button == "OK"    ? QMessageBox::Ok
                                               : button == "Yes" ? QMessageBox::Yes
                                                                 : QMessageBox::No))
                    b->click();
        });
        bool answer = true;
        if (question)
            answer = Messages::question(&owner, QStringLiteral("text"));
        else
            Messages::information(&owner, QStringLiteral("text"));
        QCOMPARE(answer, result);
        QCOMPARE(title, ResStrs::text("P_MSGTitle"));
        QCOMPARE(text, QStringLiteral("text"));
        QCOMPARE(icon, question ? QMessageBox::Question : QMessageBox::Information);
        QCOMPARE(parent, &owner);
    }

    void realSoPinInput_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ok returns the typed text") << true << "87654321";
        QTest::newRow("cancel returns the initial text") << false << "init";
    }
    void realSoPinInput()
    {
        QFETCH(bool, confirm);
        QFETCH(QString, expected);
        QWidget owner;
        owner.show();
        QString prompt, caption;
        QLineEdit::EchoMode echo = QLineEdit::Normal;
        int maxLength = 0;
        whenModal([&](QWidget* w) {
            caption = w->windowTitle();
            prompt = w->findChild<QLabel*>(QStringLiteral("Prompt"))->text();
            auto* edit = w->findChild<QLineEdit*>(QStringLiteral("Edit"));
            echo = edit->echoMode();
            maxLength = edit->maxLength();
            QTest::keyClicks(edit, QStringLiteral("87654321")); // replaces the selected initial text
            w->findChild<QPushButton*>(confirm ? QStringLiteral("OK") : QStringLiteral("Cancel"))->click();
        });
        const QString answer = DialogService::instance().soPinInput(
            &owner, QStringLiteral("Verify"), QStringLiteral("SO PIN:"), "init", "OK", "Cancel");
        QCOMPARE(answer, expected);
        QCOMPARE(caption, QStringLiteral("Verify"));
        QCOMPARE(prompt, QStringLiteral("SO PIN:"));
        QCOMPARE(echo, QLineEdit::Password);
        QCOMPARE(maxLength, 255);
    }
};

QTEST_MAIN(TestDialogService)
#include "tst_dialogservice.moc"
