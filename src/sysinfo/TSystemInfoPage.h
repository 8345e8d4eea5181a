#pragma once

#include <QWidget>

struct TProgramState;

class TSystemInfoPage : public QWidget
{
    Q_OBJECT
public:
    explicit TSystemInfoPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
