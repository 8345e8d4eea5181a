#include "TFingerPicturesPage.h"

#include "app/TProgramState.h"

TFingerPicturesPage::TFingerPicturesPage(TProgramState& state, QWidget* parent)
    : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet17"));
}
