// SPDX-License-Identifier: BSD-3-Clause
#include "ActionUpdater.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCoreApplication>

#include <algorithm>

ActionUpdater& ActionUpdater::instance()
{
    static ActionUpdater* updater = new ActionUpdater; // lives as long as the process
    return *updater;
}

ActionUpdater::ActionUpdater() = default;

void ActionUpdater::add(QAction* action, std::function<bool()> enabled)
{
    add(action, [action, enabled = std::move(enabled)] { action->setEnabled(enabled()); });
}

void ActionUpdater::add(QObject* context, std::function<void()> handler)
{
    attachToDispatcher();
    m_entries.push_back({context, std::move(handler)});
    connect(context, &QObject::destroyed, this, &ActionUpdater::remove, Qt::UniqueConnection);
}

void ActionUpdater::remove(QObject* context)
{
    std::erase_if(m_entries, [context](const Entry& e) { return e.context == context; });
}

void ActionUpdater::updateAll()
{
    if (m_running)
        return; // a handler that pumps events must not re-enter
    m_running = true;
    // A handler may register or drop handlers; iterate over a snapshot of the contexts.
    const std::vector<Entry> snapshot = m_entries;
    for (const Entry& entry : snapshot) {
        const bool alive = std::any_of(m_entries.begin(), m_entries.end(),
                                       [&](const Entry& e) { return e.context == entry.context; });
        if (alive)
            entry.handler();
    }
    m_running = false;
}

void ActionUpdater::attachToDispatcher()
{
    if (m_attached)
        return;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(
        QCoreApplication::instance() ? QCoreApplication::instance()->thread() : nullptr);
    if (!dispatcher)
        return;
    m_attached = true;
    // Idle: the loop is about to wait.
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
        m_blocked = true;
        updateAll();
    });
    // A pass that follows a wait was already covered by aboutToBlock; a pass that did not wait comes from
    // a loop that pumps events itself, which never goes idle, so update there too.
    connect(dispatcher, &QAbstractEventDispatcher::awake, this, [this] {
        if (m_blocked) {
            m_blocked = false;
            return;
        }
        updateAll();
    });
}
