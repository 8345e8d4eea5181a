// SPDX-License-Identifier: BSD-3-Clause
#include "TCertExpiryChecker.h"

#include "i18n/ResStrs.h"
#include "settings/TConfigInfo.h"
#include "token/CerMgrApis.h"
#include "token/TQ7CertInfo.h"
#include "token/TQ7Info.h"
#include "token/TokenStatus.h"

#include <QDateTime>

#include <algorithm>
#include <memory>

TCertExpiryChecker::TCertExpiryChecker(const TConfigInfo& config, QDate today)
    : m_enabled(config.CertDayMode != 0 && config.CertDay > 0), m_days(config.CertDay),
      m_today(today.isValid() ? today : QDateTime::currentDateTimeUtc().date())
{
}

QDate TCertExpiryChecker::dateOf(const std::array<qint32, 9>& parts)
{
    // QDate rejects impossible days and months; a year 0 means the library read nothing.
    if (parts[0] <= 0)
        return {};
    return QDate(parts[0], parts[1], parts[2]);
}

bool TCertExpiryChecker::warns(State state)
{
    return state == State::Expiring || state == State::Expired || state == State::NotYetValid;
}

CertTreeImages::Marker TCertExpiryChecker::marker(State state)
{
    switch (state) {
    case State::Expiring:
        return CertTreeImages::Marker::Expiring;
    case State::Expired:
        return CertTreeImages::Marker::Expired;
    case State::NotYetValid:
        return CertTreeImages::Marker::NotYetValid;
    case State::Valid:
    case State::Unreadable:
        break;
    }
    return CertTreeImages::Marker::None;
}

TCertExpiryChecker::State TCertExpiryChecker::classify(const TQ7CertInfo& cert) const
{
    if (!m_enabled)
        return State::Valid;
    const QDate to = dateOf(cert.ValidTo);
    if (!to.isValid())
        return State::Unreadable;
    const qint64 left = daysLeft(to);
    if (left < 0)
        return State::Expired;
    const QDate from = dateOf(cert.ValidFrom);
    if (from.isValid() && m_today < from)
        return State::NotYetValid;
    // 64-bit days: a CertDay of any size compares without overflow.
    return left <= m_days ? State::Expiring : State::Valid;
}

quint32 TCertExpiryChecker::check(int slot, TQ7Info& info, QList<Finding>& findings) const
{
    findings.clear();
    if (!m_enabled)
        return TokenStatus::Success;
    const quint32 listed = CerMgrApis::LoadContainerNames(slot, info);
    if (listed != TokenStatus::Success)
        return listed;
    // Large enough for a whole certificate: kept off the stack.
    auto cert = std::make_unique<TQ7CertInfo>();
    const QStringList names = info.ContainerNames;
    for (const QString& name : names) {
        for (KeySpec keySpec : {KeySpec::Exchange, KeySpec::Signature}) {
            *cert = TQ7CertInfo{};
            // A token pulled out half-way only leaves the rest unread.
            if (CerMgrApis::ReadCertificateInfo(slot, name, keySpec, *cert) != TokenStatus::Success)
                continue;
            const State state = classify(*cert);
            if (!warns(state))
                continue;
            findings.append(
                Finding{cert->Subject, name, keySpec, dateOf(cert->ValidFrom), dateOf(cert->ValidTo), state});
        }
    }
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.validTo < b.validTo; });
    return TokenStatus::Success;
}

QString TCertExpiryChecker::stateText(State state, QDate validTo) const
{
    switch (state) {
    case State::Expired:
        return ResStrs::text("K_Expiry_Expired");
    case State::NotYetValid:
        return ResStrs::text("K_Expiry_NotYetValid");
    case State::Expiring: {
        const qint64 left = daysLeft(validTo);
        return left == 0 ? ResStrs::text("K_Expiry_Today") : ResStrs::format("K_Expiry_DaysLeft", left);
    }
    case State::Valid:
    case State::Unreadable:
        break;
    }
    return {};
}

QString TCertExpiryChecker::validityText(const TQ7CertInfo& cert) const
{
    const QDate to = dateOf(cert.ValidTo);
    return ResStrs::text("K_Expiry_ValidFrom") + cert.ValidFromText + QLatin1Char('\n') +
           ResStrs::text("K_Expiry_ValidTo") + cert.ValidToText + QLatin1Char('\n') +
           stateText(classify(cert), to);
}
