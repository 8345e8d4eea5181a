#include "TCertPage.h"

#include "app/TProgramState.h"

TCertPage::TCertPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet5"));
}
