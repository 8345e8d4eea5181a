// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "certs/CertTreeImages.h"
#include "token/KeySpec.h"

#include <QDate>
#include <QList>
#include <QString>

#include <array>

struct TConfigInfo;
struct TQ7CertInfo;
struct TQ7Info;

// Decides, from the settings' CertEndDay, which certificates deserve a warning: those that have expired,
// expire within CertDay days, or are not valid yet. The check is off unless CertDayMode is non-zero and
// CertDay is positive. Dates are whole days in UTC, as the library reads them from the certificate.
class TCertExpiryChecker
{
public:
    enum class State
    {
        Unreadable, // no usable dates: never warned about
        Valid,
        Expiring, // ends within CertDay days, today included
        Expired,
        NotYetValid
    };

    // One certificate worth a warning.
    struct Finding
    {
        QString subject;
        QString container;
        KeySpec keySpec = KeySpec::Signature;
        QDate validFrom;
        QDate validTo;
        State state = State::Valid;
    };

    // `today` is the current UTC date unless given.
    explicit TCertExpiryChecker(const TConfigInfo& config, QDate today = {});

    bool enabled() const { return m_enabled; }
    QDate today() const { return m_today; }

    // Valid when the check is off.
    State classify(const TQ7CertInfo& cert) const;
    static bool warns(State state);
    // The tree's marker for a state; none for a certificate not warned about.
    static CertTreeImages::Marker marker(State state);

    // Reads every certificate of the token in `slot` (listing its containers into `info`) and returns
    // those worth a warning, soonest end first. Certificates that cannot be read are left out. The status
    // is the container listing's; nothing is read while the check is off.
    quint32 check(int slot, TQ7Info& info, QList<Finding>& findings) const;

    // Whole days from today to the end date; negative once expired.
    qint64 daysLeft(QDate validTo) const { return m_today.daysTo(validTo); }
    // The state in words: expired, not yet valid, or the days left.
    QString stateText(State state, QDate validTo) const;
    // The validity dates and the state, one per line, for a tooltip.
    QString validityText(const TQ7CertInfo& cert) const;

    static QDate dateOf(const std::array<qint32, 9>& parts);

private:
    bool m_enabled = false;
    qint64 m_days = 0;
    QDate m_today;
};
