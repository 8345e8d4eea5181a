// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QWidget>

class TTokenSession;
struct TProgramState;

// A page of the main window's page control: a widget working on the program state it is given.
class TPage : public QWidget
{
    Q_OBJECT
public:
    explicit TPage(TProgramState& state, QWidget* parent = nullptr) : QWidget(parent), m_state(state) {}

    TProgramState& state() const { return m_state; }
    // The session of the token the window shows; nullptr when none is selected.
    TTokenSession* session() const;
    // The current session when its token is still plugged in. Otherwise the user is told it was
    // removed, the session ends and the answer is nullptr: nothing is to be sent anywhere.
    TTokenSession* presentSession() const;

protected:
    // Whether the current token can do `feature` (a TQ7Info::Feature). With no token there is
    // nothing to refuse yet, so the answer is yes.
    bool currentTokenCan(quint32 feature) const;

    TProgramState& m_state;
};
