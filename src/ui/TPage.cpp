#include "TPage.h"

#include "TProgramState.h"

bool TPage::currentTokenCan(quint32 feature) const
{
    const int slot = m_state.currentToken;
    if (slot < 0 || slot >= TProgramState::MaxTokens)
        return true;
    return (m_state.TokenInfoTable[size_t(slot)].Features & feature) != 0;
}
