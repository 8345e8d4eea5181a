#pragma once

#include <QWidget>

struct TProgramState;

class TInitPage : public QWidget
{
    Q_OBJECT
public:
    explicit TInitPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
