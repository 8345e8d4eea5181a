#pragma once

#include "ui/TPage.h"

class QLineEdit;
class QTabWidget;
struct TProgramState;

// The values a token is initialized with, on four inner pages (base information, SO PIN,
// user PIN, fingerprint settings), and the initialize button.
class TInitPage : public TPage
{
    Q_OBJECT
public:
    explicit TInitPage(TProgramState& state, QWidget* parent = nullptr);

    QTabWidget* pageControl() const { return m_pcInit; }
    void setKeyName(const QString& label);

private:
    QTabWidget* m_pcInit;
    QLineEdit* m_edtInitKeyName = nullptr;
};
