// SPDX-License-Identifier: BSD-3-Clause
#include "TKeyInfoPage.h"

#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QHBoxLayout>
#include <QTableWidget>
#include <QVBoxLayout>

TKeyInfoPage::TKeyInfoPage(TProgramState& state, QWidget* parent)
    : TPage(state, parent), m_lv(PageWidgets::reportList(this, "lv", 170, 225))
{
    setObjectName(QStringLiteral("TabSheet1"));

    m_refresh = PageWidgets::action(this, "AcFindKeyRefresh");
    auto* button7 = PageWidgets::button(this, "Button7", m_refresh);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button7);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lv);
    layout->addLayout(buttons);
}
