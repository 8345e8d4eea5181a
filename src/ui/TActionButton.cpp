// SPDX-License-Identifier: BSD-3-Clause
#include "TActionButton.h"

#include <QAction>

TActionButton::TActionButton(QAction* action, QWidget* parent) : QPushButton(parent), m_action(action)
{
    Q_ASSERT(action);
    connect(m_action, &QAction::changed, this, &TActionButton::syncFromAction);
    connect(this, &QPushButton::clicked, m_action, [this] { m_action->trigger(); });
    syncFromAction();
}

void TActionButton::syncFromAction()
{
    setText(m_action->text());
    setEnabled(m_action->isEnabled());
    // Only an actual change touches the visibility, so a button is never shown by accident while
    // the action stays visible.
    if (isHidden() == m_action->isVisible())
        setVisible(m_action->isVisible());
}
