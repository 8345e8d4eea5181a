#include "TRemoteUnlockPage.h"

#include "app/TProgramState.h"

TRemoteUnlockPage::TRemoteUnlockPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet20"));
}
