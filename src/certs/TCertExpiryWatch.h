// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "certs/TCertExpiryNotice.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

class QWidget;
class TCertExpiryChecker;
struct TProgramState;

// Warns once per token and arrival about certificates that have expired or expire soon. After each
// refresh the tokens found for the first time since they were plugged in are checked; a token that a
// refresh no longer finds is forgotten, so plugging it in again warns again. The notice is created on
// first use and owned by `window`.
class TCertExpiryWatch : public QObject
{
    Q_OBJECT
public:
    TCertExpiryWatch(TProgramState& state, QWidget* window);

    // The outcome of a refresh: 0 when TokenInfoTable holds the tokens found, 1 when none was found.
    void tokensRefreshed(quint32 status);
    // Checks the token in `slot` unless it was checked since its arrival; for a token whose certificates
    // could not be read before the user logged in.
    void checkToken(int slot);
    // The notice, once one was shown.
    TCertExpiryNotice* notice() const { return m_notice; }

private:
    QString tokenKey(int slot) const;
    void check(int slot, const TCertExpiryChecker& checker);

    TProgramState& m_state;
    QPointer<QWidget> m_window;
    QPointer<TCertExpiryNotice> m_notice;
    // Tokens already checked since their arrival.
    QSet<QString> m_checked;
};
