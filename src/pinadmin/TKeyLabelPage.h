#pragma once

#include <QWidget>

class QLineEdit;
struct TProgramState;

// Page 2: give the token a new label.
class TKeyLabelPage : public QWidget
{
    Q_OBJECT
public:
    explicit TKeyLabelPage(TProgramState& state, QWidget* parent = nullptr);

    // The navigation offers the token's present label for editing.
    void setKeyName(const QString& label);

private:
    [[maybe_unused]] TProgramState& m_state;
    QLineEdit* m_edtKeyName;
};
