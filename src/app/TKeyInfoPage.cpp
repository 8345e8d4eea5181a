#include "TKeyInfoPage.h"

#include "app/TProgramState.h"

TKeyInfoPage::TKeyInfoPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet1"));
}
