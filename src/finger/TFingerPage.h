#pragma once

#include <QWidget>

struct TProgramState;

class TFingerPage : public QWidget
{
    Q_OBJECT
public:
    explicit TFingerPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
