#pragma once

#include <QWidget>

struct TProgramState;

class TRemoteUnlockPage : public QWidget
{
    Q_OBJECT
public:
    explicit TRemoteUnlockPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
