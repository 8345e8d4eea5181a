// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "ui/TPage.h"

class QAction;
class QTableWidget;
struct TProgramState;

// The properties of the current token as (field, value) rows, and the refresh button.
class TKeyInfoPage : public TPage
{
    Q_OBJECT
public:
    explicit TKeyInfoPage(TProgramState& state, QWidget* parent = nullptr);

    QTableWidget* list() const { return m_lv; }
    // Finds the tokens again.
    QAction* refreshAction() const { return m_refresh; }

private:
    QTableWidget* m_lv;
    QAction* m_refresh = nullptr;
};
