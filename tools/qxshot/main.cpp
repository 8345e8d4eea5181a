// SPDX-License-Identifier: BSD-3-Clause
// Screenshots of the main window after a login, for looking at the certificate page by eye: starts
// the window as the tool does, waits for the first token, opens its certificates node, types the PIN
// into the login page as a user would and saves the window once the certificate tree is built.
//   qxshot <output.png>   the PIN is read from standard input (one line), never from the command line
#include "app/PageId.h"
#include "app/StartUp.h"
#include "app/TMainForm.h"
#include "app/TNavigator.h"
#include "platform/AppPaths.h"
#include "skf/TSkfBinding.h"
#include "ui/TPage.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>
#include <QTextStream>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <memory>

namespace {

QTreeWidgetItem* certificatesNode(TMainForm& form)
{
    QTreeWidgetItem* root = form.findChild<QTreeWidget*>(QStringLiteral("tv"))->topLevelItem(0);
    QTreeWidgetItem* token = root && root->childCount() > 0 ? root->child(0) : nullptr;
    for (int i = 0; token && i < token->childCount(); ++i)
        if (token->child(i)->data(0, TNavigator::PageRole).value<PageId>() == PageId::Cert)
            return token->child(i);
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    const QFileInfo executable(QStringLiteral("/proc/self/exe"));
    TSkfBinding skf(
        AppPaths::dirsForExecutableDir(QFileInfo(executable.canonicalFilePath()).absolutePath()).library);
    QApplication app(argc, argv);
    QTextStream err(stderr);
    if (app.arguments().size() != 2) {
        err << "usage: qxshot <output.png>   (the PIN on standard input)\n";
        return 2;
    }
    QString pin = QTextStream(stdin).readLine();
    AppPaths::applicationDir();
    AppPaths::settingsDir();
    StartUp::loadLanguage();

    TMainForm form;
    form.state().sessions.setSkf(&skf);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form) ||
        !QTest::qWaitFor([&] { return certificatesNode(form); }, 20000)) {
        err << "qxshot: no token was found\n";
        return 1;
    }
    form.findChild<QTreeWidget*>(QStringLiteral("tv"))->setCurrentItem(certificatesNode(form));
    auto* edit = form.page(PageId::Login)->findChild<QLineEdit*>(QStringLiteral("edtUPIN"));
    QTest::keyClicks(edit, pin);
    pin.fill(QLatin1Char('\0'));
    QTest::keyClick(edit, Qt::Key_Return);
    auto* pages = form.findChild<QStackedWidget*>(QStringLiteral("RPC"));
    if (!QTest::qWaitFor([&] { return pages->currentWidget() == form.page(PageId::Cert); }, 10000)) {
        form.grab().save(app.arguments().at(1));
        err << "qxshot: the login did not reach the certificate page; the window is saved as it is\n";
        return 1;
    }
    auto* tree = form.page(PageId::Cert)->findChild<QTreeWidget*>(QStringLiteral("tvCert"));
    tree->expandAll();
    // The first certificate's subject, so the certificate actions show enabled.
    QTreeWidgetItem* first = tree->topLevelItemCount() > 0 ? tree->topLevelItem(0) : nullptr;
    if (first && first->childCount() > 0 && first->child(0)->childCount() > 0)
        tree->setCurrentItem(first->child(0)->child(0));
    // The actions follow when the event loop next goes idle; a real loop is run until they have.
    auto* view = form.page(PageId::Cert)->findChild<QWidget*>(QStringLiteral("btnListCert"));
    auto* reg = form.page(PageId::Cert)->findChild<QWidget*>(QStringLiteral("btnRegCert"));
    for (int i = 0; i < 40 && !(view && view->isEnabled() && reg && reg->isEnabled()); ++i) {
        QEventLoop idle;
        QTimer::singleShot(50, &idle, &QEventLoop::quit);
        idle.exec();
    }
    if (!form.grab().save(app.arguments().at(1))) {
        err << "qxshot: cannot write " << app.arguments().at(1) << "\n";
        return 1;
    }
    return 0;
}
