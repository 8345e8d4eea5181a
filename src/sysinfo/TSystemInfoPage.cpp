#include "TSystemInfoPage.h"

#include "app/TProgramState.h"

TSystemInfoPage::TSystemInfoPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet6"));
}
