#pragma once

#include <QWidget>

struct TProgramState;

class TLoginPage : public QWidget
{
    Q_OBJECT
public:
    explicit TLoginPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
