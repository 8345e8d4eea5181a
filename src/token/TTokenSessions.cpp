// SPDX-License-Identifier: BSD-3-Clause
#include "TTokenSessions.h"

#include "skf/TSkfBinding.h"

#include <QtGlobal>

TTokenSessions::TTokenSessions(QObject* parent) : QObject(parent) {}

TTokenSessions::~TTokenSessions() = default;

void TTokenSessions::setSkf(TSkfBinding* skf)
{
    m_skf = skf;
    for (const auto& session : m_sessions)
        session->setSkf(skf);
}

bool TTokenSessions::fingerFlag() const
{
    return m_skf && m_skf->fingerFlag();
}

TTokenSession* TTokenSessions::at(int slot) const
{
    return slot >= 0 && slot < count() ? m_sessions[size_t(slot)].get() : nullptr;
}

void TTokenSessions::setCurrent(int slot)
{
    if (slot == m_current)
        return;
    if (TTokenSession* left = current())
        left->endAdministrator();
    m_current = slot;
    Q_EMIT currentChanged(current());
}

void TTokenSessions::reset(int count)
{
    // Whatever the devices were authenticated for ends with the sessions that asked for it.
    for (const auto& session : m_sessions) {
        session->clearSecureState();
        session->markRemoved();
    }
    m_sessions.clear();
    const int n = qBound(0, count, MaxTokens);
    for (int i = 0; i < n; ++i)
        m_sessions.push_back(std::make_unique<TTokenSession>(i, m_skf));
    m_current = 0;
    Q_EMIT listReset();
}

void TTokenSessions::found()
{
    for (const auto& session : m_sessions)
        session->setLogin(TTokenSession::Login::Found);
}
