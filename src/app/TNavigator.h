// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "app/PageId.h"

#include <QString>

#include <optional>

class QTreeWidgetItem;
class TNavigationPages;
struct TProgramState;

// The navigation tree's selection handler: chooses the current token from the selected node and
// opens what the node stands for.
//
// A node names the page it opens in PageRole; whoever builds the node sets it. A node without one
// is read by where it sits:
//   level 0: the roots (token list, system information, about)
//   level 1: a token
//   level 2: a token function (PIN, label, certificates, fingerprint or remote unlock, ...)
//   levels 3 and 4: administration functions, reached by no node the tool builds itself
class TNavigator
{
public:
    static constexpr int PageRole = Qt::UserRole + 1;
    // For fingerprint nodes: the PIN type whose fingerprints the page manages (0 administrator,
    // 1 user); without it the node is the user's own fingerprint node.
    static constexpr int PinTypeRole = Qt::UserRole + 2;
    // For initialization nodes: true when the node hides the fingerprint settings.
    static constexpr int HideFingerSettingsRole = Qt::UserRole + 3;

    // What a node opens.
    struct Target
    {
        PageId page = PageId::KeyInfo;
        std::optional<quint32> pinType;
        bool hideFingerSettings = false;

        static Target of(PageId page)
        {
            Target t;
            t.page = page;
            return t;
        }
    };

    TNavigator(TProgramState& state, TNavigationPages& pages);

    void select(const QTreeWidgetItem* node);

    // What a node without PageRole opens by its level and position; none for the token list root
    // and positions nothing stands at.
    static std::optional<Target> targetAt(int level, int index, bool fingerFlag);
    static int level(const QTreeWidgetItem* node);
    static int indexAmongSiblings(const QTreeWidgetItem* node);

private:
    void open(const Target& target, int token);
    bool fingerFlag() const;
    QString tokenLabel(int token) const;

    TProgramState& m_state;
    TNavigationPages& m_pages;
};
