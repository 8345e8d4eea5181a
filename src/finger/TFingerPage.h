#pragma once

#include "ui/TPage.h"

class QTabWidget;
class QToolButton;
struct TProgramState;

// The ten fingers of the user or the administrator over a picture of two hands, and
// the test, unblock and delete-all buttons.
class TFingerPage : public TPage
{
    Q_OBJECT
public:
    explicit TFingerPage(TProgramState& state, QWidget* parent = nullptr);

    QTabWidget* pageControl() const { return m_pcFinger; }
    // Finger number 1..10; nullptr outside that range.
    QToolButton* fingerButton(int finger) const;

private:
    QTabWidget* m_pcFinger;
    QToolButton* m_fingers[10] = {};
};
