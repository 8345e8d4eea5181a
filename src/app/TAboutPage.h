#pragma once

#include <QWidget>

struct TProgramState;

class TAboutPage : public QWidget
{
    Q_OBJECT
public:
    explicit TAboutPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
