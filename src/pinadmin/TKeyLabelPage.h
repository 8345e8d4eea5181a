#pragma once

#include <QWidget>

struct TProgramState;

class TKeyLabelPage : public QWidget
{
    Q_OBJECT
public:
    explicit TKeyLabelPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
