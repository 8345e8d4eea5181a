#include "TUnlockPage.h"

#include "app/TProgramState.h"

TUnlockPage::TUnlockPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet10"));
}
