#pragma once

#include <QWidget>

struct TProgramState;

class TIsoPage : public QWidget
{
    Q_OBJECT
public:
    explicit TIsoPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
