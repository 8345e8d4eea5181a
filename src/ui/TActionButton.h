// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QPushButton>

class QAction;

// A push button that mirrors an action: its text, enabled state and visibility follow the action,
// and a click triggers it. A hidden action therefore hides every button bound to it.
class TActionButton : public QPushButton
{
    Q_OBJECT
public:
    explicit TActionButton(QAction* action, QWidget* parent = nullptr);

    QAction* action() const { return m_action; }

private:
    void syncFromAction();

    QAction* m_action;
};
