#pragma once

#include "app/TProgramState.h"

#include <QWidget>

class QAction;
class QStackedWidget;
class QTableWidget;
class QTreeWidget;
class TDiscovery;

// The parts of the main window discovery works on, by their names: the tree `tv` with its three
// roots, the page control `RPC` with the key information page first, and the fingerprint login action.
class DiscoveryWindow : public QWidget
{
    Q_OBJECT
public:
    explicit DiscoveryWindow(TProgramState& state);

    QTreeWidget* tv;
    QStackedWidget* rpc;
    QTableWidget* lv;
    QAction* fingerLogon;
    QAction* refreshAction;
    TDiscovery* discovery;
};
