// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QList>
#include <QString>

class HostQueries;
struct TProgramState;

// The rows of the host report: the basic one the system page shows when it opens and the full one
// of a re-check, in either edition (1000 the CSP rows, 2000 the minidriver rows).
class SystemReport
{
public:
    static constexpr int CspEdition = 1000;
    static constexpr int MiniDriverEdition = 2000;

    struct Row
    {
        QString caption;
        QString value;
        int state = NoState; // 0 good, 2 missing or failed

        bool operator==(const Row&) const = default;
    };
    static constexpr int NoState = -1;

    static QList<Row> basic(HostQueries& host, int edition);
    // Reads the first token's information again into `state` before the device rows.
    static QList<Row> full(HostQueries& host, int edition, TProgramState& state);

    // The provider whose registration the report checks; the minidriver edition switches it to the
    // system's smart-card provider for the rest of the run.
    static QString providerName();
    static void resetProviderName();

    // The saved form: the date line, an empty line, then "%20s : %s" per row, CRLF line ends, in
    // the system code page.
    static QByteArray saveText(const QList<Row>& rows, const QString& dateLine);
    static bool save(const QString& fileName, const QList<Row>& rows);

private:
    static void useSmartCardProvider();
};
