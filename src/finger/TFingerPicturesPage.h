#pragma once

#include <QWidget>

struct TProgramState;

class TFingerPicturesPage : public QWidget
{
    Q_OBJECT
public:
    explicit TFingerPicturesPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
