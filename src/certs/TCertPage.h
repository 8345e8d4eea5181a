#pragma once

#include <QWidget>

struct TProgramState;

class TCertPage : public QWidget
{
    Q_OBJECT
public:
    explicit TCertPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
