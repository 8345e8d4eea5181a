#include "TKeyInfoPage.h"

#include "app/PageWidgets.h"
#include "app/TActionButton.h"
#include "app/TProgramState.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

TKeyInfoPage::TKeyInfoPage(TProgramState& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_lv(new QTableWidget(0, 2, this))
{
    setObjectName(QStringLiteral("TabSheet1"));

    m_lv->setObjectName(QStringLiteral("lv"));
    m_lv->setShowGrid(true);
    m_lv->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lv->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_lv->verticalHeader()->hide();
    m_lv->horizontalHeader()->setHighlightSections(false);
    m_lv->setColumnWidth(0, 150);
    m_lv->setColumnWidth(1, 245);

    auto* refresh = PageWidgets::action(this, "AcFindKeyRefresh");
    auto* button7 = PageWidgets::button(this, "Button7", refresh);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button7);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lv);
    layout->addLayout(buttons);
}
