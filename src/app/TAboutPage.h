#pragma once

#include <QWidget>

struct TProgramState;

// Page 6: a built-in picture (Image5) above the picture named by the catalog (Image6).
class TAboutPage : public QWidget
{
    Q_OBJECT
public:
    explicit TAboutPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
