#pragma once

#include <QWidget>

struct TProgramState;

class TUnlockPage : public QWidget
{
    Q_OBJECT
public:
    explicit TUnlockPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
