// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "ui/TProgramState.h"

#include <QWidget>

class QAction;
class QDialog;
class QStackedWidget;
class QTableWidget;
class QTreeWidget;
class TDiscovery;

// The parts of the main window discovery works on: the tree `tv` with its three roots, the page
// control `RPC` with the key information page first, and the fingerprint login action, wired to
// discovery the way the main window wires them.
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
    // The import dialog a failed retry closes.
    QDialog* importDialog = nullptr;
};
