#pragma once

#include <QWidget>

class QLabel;
struct TProgramState;

// Page 13: administrator login with the SO PIN (or by fingerprint) for the fingerprint
// administration.
class TSoLoginPage : public QWidget
{
    Q_OBJECT
public:
    explicit TSoLoginPage(TProgramState& state, QWidget* parent = nullptr);

    // The label of the token the administrator is about to log in to.
    void setKeyName(const QString& label);

private:
    [[maybe_unused]] TProgramState& m_state;
    QLabel* m_lFingerKeyName;
};
