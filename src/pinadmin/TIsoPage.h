#pragma once

#include <QWidget>

struct TProgramState;

// Page 10: write an ISO image into the token's CD-ROM partition.
class TIsoPage : public QWidget
{
    Q_OBJECT
public:
    explicit TIsoPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
