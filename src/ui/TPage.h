#pragma once

#include <QWidget>

struct TProgramState;

// A page of the main window's page control: a widget working on the program state it is given.
class TPage : public QWidget
{
    Q_OBJECT
public:
    explicit TPage(TProgramState& state, QWidget* parent = nullptr) : QWidget(parent), m_state(state) {}

    TProgramState& state() const { return m_state; }

protected:
    // Whether the current token can do `feature` (a TQ7Info::Feature). With no token there is
    // nothing to refuse yet, so the answer is yes.
    bool currentTokenCan(quint32 feature) const;

    TProgramState& m_state;
};
