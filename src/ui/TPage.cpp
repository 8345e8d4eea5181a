// SPDX-License-Identifier: BSD-3-Clause
#include "TPage.h"

#include "TProgramState.h"

#include "i18n/ResStrs.h"
#include "ui/Messages.h"

bool TPage::currentTokenCan(quint32 feature) const
{
    const TTokenSession* session = m_state.sessions.current();
    return !session || (session->info().Features & feature) != 0;
}

TTokenSession* TPage::session() const
{
    return m_state.sessions.current();
}

TTokenSession* TPage::presentSession() const
{
    TTokenSession* current = session();
    if (!current)
        return nullptr;
    if (!current->stillConnected()) {
        Messages::information(window(), ResStrs::text("K_Token_Removed"));
        return nullptr;
    }
    return current;
}
