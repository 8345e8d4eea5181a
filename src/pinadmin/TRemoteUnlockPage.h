#pragma once

#include <QWidget>

struct TProgramState;

// Page 14: unlock the user PIN by challenge and response.
class TRemoteUnlockPage : public QWidget
{
    Q_OBJECT
public:
    explicit TRemoteUnlockPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
