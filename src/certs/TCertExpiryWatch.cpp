// SPDX-License-Identifier: BSD-3-Clause
#include "TCertExpiryWatch.h"

#include "certs/TCertExpiryChecker.h"
#include "certs/TCertExpiryNotice.h"
#include "token/TokenStatus.h"
#include "ui/TProgramState.h"

TCertExpiryWatch::TCertExpiryWatch(TProgramState& state, QWidget* window)
    : QObject(window), m_state(state), m_window(window)
{
    setObjectName(QStringLiteral("CertExpiryWatch"));
}

QString TCertExpiryWatch::tokenKey(int slot) const
{
    const TQ7Info& info = m_state.tokenInfo(slot);
    // Without a serial the slot has to do.
    return info.SerialNumber.isEmpty() ? QStringLiteral("#%1").arg(slot) : info.SerialNumber;
}

void TCertExpiryWatch::tokensRefreshed(quint32 status)
{
    if (status == TokenStatus::NoToken) {
        m_checked.clear();
        return;
    }
    // A refresh that failed half-way says nothing reliable about which tokens are in.
    if (status != TokenStatus::Success)
        return;
    const int count = m_state.tokenCount();
    QSet<QString> present;
    for (int slot = 0; slot < count; ++slot)
        present.insert(tokenKey(slot));
    m_checked.intersect(present);

    const TCertExpiryChecker checker(m_state.config);
    if (!checker.enabled())
        return;
    for (int slot = 0; slot < count; ++slot)
        check(slot, checker);
}

void TCertExpiryWatch::checkToken(int slot)
{
    const TCertExpiryChecker checker(m_state.config);
    if (checker.enabled() && slot >= 0 && slot < m_state.tokenCount())
        check(slot, checker);
}

void TCertExpiryWatch::check(int slot, const TCertExpiryChecker& checker)
{
    const QString key = tokenKey(slot);
    if (m_checked.contains(key))
        return;
    // A copy: the check lists the containers, which is not the table's business here.
    TQ7Info info = m_state.tokenInfo(slot);
    QList<TCertExpiryChecker::Finding> findings;
    // Unreadable now (pulled out, or locked until a login): looked at again later.
    if (checker.check(slot, info, findings) != TokenStatus::Success)
        return;
    m_checked.insert(key);
    if (findings.isEmpty())
        return;
    if (!m_notice)
        m_notice = new TCertExpiryNotice(m_window);
    const QString label = info.Label.trimmed();
    m_notice->showToken(key, label.isEmpty() ? info.SerialNumber : label, checker, findings);
}
