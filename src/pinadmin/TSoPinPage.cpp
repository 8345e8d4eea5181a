#include "TSoPinPage.h"

#include "app/TProgramState.h"

TSoPinPage::TSoPinPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet9"));
}
