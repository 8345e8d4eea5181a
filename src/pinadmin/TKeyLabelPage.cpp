#include "TKeyLabelPage.h"

#include "app/TProgramState.h"

TKeyLabelPage::TKeyLabelPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet3"));
}
