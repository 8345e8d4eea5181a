#include "TInitPage.h"

#include "app/TProgramState.h"

TInitPage::TInitPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet8"));
}
