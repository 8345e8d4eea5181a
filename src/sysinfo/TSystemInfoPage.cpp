#include "TSystemInfoPage.h"

#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace PageWidgets;

TSystemInfoPage::TSystemInfoPage(TProgramState& state, QWidget* parent)
    : TPage(state, parent), m_list(PageWidgets::reportList(this, "LVSystemInfo", 150, 240)),
      m_progress(new QProgressBar(this))
{
    setObjectName(QStringLiteral("TabSheet6"));

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
