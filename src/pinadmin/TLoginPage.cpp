#include "TLoginPage.h"

#include "app/TProgramState.h"

TLoginPage::TLoginPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet4"));
}
