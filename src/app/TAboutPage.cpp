#include "TAboutPage.h"

#include "app/TProgramState.h"

TAboutPage::TAboutPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet7"));
}
