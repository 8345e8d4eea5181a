#include "TUserPinPage.h"

#include "app/TProgramState.h"

TUserPinPage::TUserPinPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet2"));
}
