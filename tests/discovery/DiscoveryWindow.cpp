#include "DiscoveryWindow.h"

#include "app/TDiscovery.h"
#include "app/TKeyInfoPage.h"

#include <QAction>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTreeWidget>

DiscoveryWindow::DiscoveryWindow(TProgramState& state)
    : tv(new QTreeWidget(this)), rpc(new QStackedWidget(this)), fingerLogon(new QAction(this))
{
    setObjectName(QStringLiteral("MainForm"));
    tv->setObjectName(QStringLiteral("tv"));
    tv->setHeaderHidden(true);
    for (const char* root : {"USBKey列表", "系统信息", "关于"})
        tv->addTopLevelItem(new QTreeWidgetItem(QStringList(QString::fromUtf8(root))));
    rpc->setObjectName(QStringLiteral("RPC"));
    rpc->addWidget(new TKeyInfoPage(state));
    for (int i = 1; i < 15; ++i)
        rpc->addWidget(new QWidget);
    rpc->setCurrentIndex(5);
    fingerLogon->setObjectName(QStringLiteral("AcFingerlogon"));
    lv = findChild<QTableWidget*>(QStringLiteral("lv"));
    refreshAction = findChild<QAction*>(QStringLiteral("AcFindKeyRefresh"));
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(tv);
    layout->addWidget(rpc);
    discovery = new TDiscovery(state, this);
}
