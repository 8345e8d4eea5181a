// SPDX-License-Identifier: BSD-3-Clause
#include "DiscoveryWindow.h"

#include "app/TDiscovery.h"
#include "app/TKeyInfoPage.h"

#include <QAction>
#include <QDialog>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTreeWidget>

DiscoveryWindow::DiscoveryWindow(TProgramState& state)
    : tv(new QTreeWidget(this)), rpc(new QStackedWidget(this)), fingerLogon(new QAction(this))
{
    tv->setHeaderHidden(true);
    for (const char* root : {"USBKey列表", "系统信息", "关于"})
        tv->addTopLevelItem(new QTreeWidgetItem(QStringList(QString::fromUtf8(root))));
    auto* keyInfo = new TKeyInfoPage(state);
    rpc->addWidget(keyInfo);
    for (int i = 1; i < PageCount; ++i)
        rpc->addWidget(new QWidget);
    rpc->setCurrentIndex(int(PageId::System));
    lv = keyInfo->list();
    refreshAction = keyInfo->refreshAction();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(tv);
    layout->addWidget(rpc);

    discovery = new TDiscovery(state, this);
    discovery->setViews(tv, lv);
    connect(refreshAction, &QAction::triggered, discovery, &TDiscovery::refreshFromButton);
    connect(discovery, &TDiscovery::showPageRequested, rpc,
            [this](PageId page) { rpc->setCurrentIndex(int(page)); });
    connect(discovery, &TDiscovery::fingerFlagChanged, fingerLogon, &QAction::setVisible);
    connect(discovery, &TDiscovery::closeImportDialogRequested, this, [this] {
        if (importDialog)
            importDialog->close();
    });
}
