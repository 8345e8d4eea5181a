#include "TSoLoginPage.h"

#include "app/TProgramState.h"

TSoLoginPage::TSoLoginPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet18"));
}
