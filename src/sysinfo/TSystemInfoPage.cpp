#include "TSystemInfoPage.h"

#include "app/PageWidgets.h"
#include "app/TActionButton.h"
#include "app/TProgramState.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace PageWidgets;

TSystemInfoPage::TSystemInfoPage(TProgramState& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_list(new QTableWidget(0, 2, this)),
      m_progress(new QProgressBar(this))
{
    setObjectName(QStringLiteral("TabSheet6"));

    m_list->setObjectName(QStringLiteral("LVSystemInfo"));
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->setColumnWidth(0, 150);
    m_list->setColumnWidth(1, 240);

    m_progress->setObjectName(QStringLiteral("pbURLDownFile"));
    m_progress->setValue(0);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_progress, 1);
    buttons->addWidget(button(this, "btnMore", action(this, "AcMore")));
    buttons->addWidget(button(this, "btnSave", action(this, "AcSave")));
    buttons->addWidget(button(this, "btnUpdate", action(this, "AcUpdate")));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
}
