// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "ui/TPage.h"

#include <QByteArray>

class QAction;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
struct TProgramState;

// Unlock the user PIN by challenge and response.
class TRemoteUnlockPage : public TPage
{
    Q_OBJECT
public:
    // The library's response buffer: a longer response is refused before it is decoded.
    static constexpr qsizetype ResponseBufferSize = 64;
    static constexpr qsizetype ChallengeBytes = 8;

    explicit TRemoteUnlockPage(TProgramState& state, QWidget* parent = nullptr);

    QLineEdit* requestEdit() const { return m_edtRequestStr; }
    QPlainTextEdit* unlockCodeEdit() const { return m_edtUnlockCode; }
    QAction* requestAction() const { return m_request; }
    QAction* unlockAction() const { return m_unlock; }

    // Hexadecimal digit pairs to bytes, one pair per byte; a pair that is not two hexadecimal digits
    // gives 0 and an odd last character is ignored. `text` must hold at most 2 * ResponseBufferSize
    // characters.
    static QByteArray decodeResponse(const QByteArray& text);

public Q_SLOTS:
    // Asks the current token for a challenge and shows it.
    void request();
    // Hands the response typed to the current token.
    void unlock();

private:
    QLineEdit* m_edtRequestStr;
    QPlainTextEdit* m_edtUnlockCode;
    QAction* m_request;
    QAction* m_unlock;
    QLabel* m_hint;
};
