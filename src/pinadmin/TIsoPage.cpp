#include "TIsoPage.h"

#include "app/TProgramState.h"

TIsoPage::TIsoPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet11"));
}
