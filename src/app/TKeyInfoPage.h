#pragma once

#include <QWidget>

struct TProgramState;

class TKeyInfoPage : public QWidget
{
    Q_OBJECT
public:
    explicit TKeyInfoPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
