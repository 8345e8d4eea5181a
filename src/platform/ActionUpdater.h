// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QObject>

#include <functional>
#include <vector>

class QAction;

// Idle-time update handlers for actions: each registered handler runs whenever the event loop is
// about to wait for new events (and on every pass of a loop that pumps events without waiting, such
// as a responsive wait), so an action's enabled state follows the fields and states it depends on.
class ActionUpdater : public QObject
{
    Q_OBJECT
public:
    static ActionUpdater& instance();

    // Enables `action` exactly when `enabled` returns true. The handler is dropped with the action.
    void add(QAction* action, std::function<bool()> enabled);
    // A general handler; dropped when `context` is destroyed.
    void add(QObject* context, std::function<void()> handler);

    // Runs every handler now.
    void updateAll();

private:
    ActionUpdater();
    void remove(QObject* context);
    void attachToDispatcher();

    struct Entry
    {
        QObject* context;
        std::function<void()> handler;
    };
    std::vector<Entry> m_entries;
    bool m_attached = false;
    bool m_blocked = false;
    bool m_running = false;
};
