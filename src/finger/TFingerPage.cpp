#include "TFingerPage.h"

#include "app/TProgramState.h"

TFingerPage::TFingerPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet15"));
}
