#pragma once

#include <QWidget>

struct TProgramState;

// Page 1: change the user PIN, knowing the old one.
class TUserPinPage : public QWidget
{
    Q_OBJECT
public:
    explicit TUserPinPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
