#pragma once

#include <QWidget>

class QLineEdit;
class QTabWidget;
struct TProgramState;

// Page 7: the values a token is initialized with, on four inner pages (base information, SO PIN,
// user PIN, fingerprint settings), and the initialize button.
class TInitPage : public QWidget
{
    Q_OBJECT
public:
    explicit TInitPage(TProgramState& state, QWidget* parent = nullptr);

    QTabWidget* pageControl() const { return m_pcInit; }
    void setKeyName(const QString& label);

private:
    [[maybe_unused]] TProgramState& m_state;
    QTabWidget* m_pcInit;
    QLineEdit* m_edtInitKeyName = nullptr;
};
