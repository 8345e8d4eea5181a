#pragma once

#include <QWidget>

struct TProgramState;

// Page 8: change the SO PIN.
class TSoPinPage : public QWidget
{
    Q_OBJECT
public:
    explicit TSoPinPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
