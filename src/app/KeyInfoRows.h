// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QList>
#include <QString>

struct TPinState;
struct TQ7Info;

// One row of the key information list: field name and value.
struct KeyInfoRow
{
    QString field;
    QString value;

    bool operator==(const KeyInfoRow&) const = default;
};

// The thirteen rows describing a token and its user PIN, in the catalog's current language.
QList<KeyInfoRow> keyInfoRows(const TQ7Info& info, const TPinState& userPin);

// The fingerprint rows: the retries left and the enrolled fingers, or one row saying the fingerprint
// application is missing when reading the user's finger state failed (`status` not 0).
QList<KeyInfoRow> fingerInfoRows(quint32 status, quint32 retriesLeft, qint32 enrolledCount);
