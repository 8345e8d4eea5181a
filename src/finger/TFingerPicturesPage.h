#pragma once

#include <QWidget>

struct TProgramState;

// Page 12, never shown: holds the success, failure and animated fingerprint pictures that the
// fingerprint dialogs use.
class TFingerPicturesPage : public QWidget
{
    Q_OBJECT
public:
    explicit TFingerPicturesPage(TProgramState& state, QWidget* parent = nullptr);

private:
    [[maybe_unused]] TProgramState& m_state;
};
