#include "TKeyInfoPage.h"

#include "app/PageWidgets.h"
#include "app/TActionButton.h"
#include "app/TProgramState.h"

#include <QHBoxLayout>
#include <QTableWidget>
#include <QVBoxLayout>

TKeyInfoPage::TKeyInfoPage(TProgramState& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_lv(PageWidgets::reportList(this, "lv", 150, 245))
{
    setObjectName(QStringLiteral("TabSheet1"));

    auto* refresh = PageWidgets::action(this, "AcFindKeyRefresh");
    auto* button7 = PageWidgets::button(this, "Button7", refresh);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button7);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lv);
    layout->addLayout(buttons);
}
