#pragma once

#include <QWidget>

struct TProgramState;

class TSoLoginPage : public QWidget
{
    Q_OBJECT
public:
    explicit TSoLoginPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
