#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
struct TProgramState;

// Page 3: user login with the user PIN (or, on tokens with a sensor, by fingerprint).
class TLoginPage : public QWidget
{
    Q_OBJECT
public:
    explicit TLoginPage(TProgramState& state, QWidget* parent = nullptr);

    // The label of the token the user is about to log in to.
    void setKeyName(const QString& label);
    QLineEdit* pinEdit() const { return m_edtUPIN; }

private:
    [[maybe_unused]] TProgramState& m_state;
    QLabel* m_lkeyname;
    QLineEdit* m_edtUPIN;
};
