#pragma once

#include <QString>

class QTreeWidgetItem;
class TNavigationPages;
struct TProgramState;

// The navigation tree's selection handler: chooses the current token from the selected node and
// shows the page of the node's level and position.
//   level 0: the roots (token list, system information, about)
//   level 1: a token
//   level 2: a token function (PIN, label, certificates, fingerprint or remote unlock, ...)
//   levels 3 and 4: administration functions, reached by no node the tool builds itself
class TNavigator
{
public:
    TNavigator(TProgramState& state, TNavigationPages& pages);

    void select(const QTreeWidgetItem* node);

    static int level(const QTreeWidgetItem* node);
    static int indexAmongSiblings(const QTreeWidgetItem* node);

private:
    bool fingerFlag() const;
    QString tokenLabel(int token) const;

    TProgramState& m_state;
    TNavigationPages& m_pages;
};
