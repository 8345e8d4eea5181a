#pragma once

#include <QWidget>

struct TProgramState;

// Page 9: reset a blocked user PIN with the SO PIN.
class TUnlockPage : public QWidget
{
    Q_OBJECT
public:
    explicit TUnlockPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
