#pragma once

#include <QWidget>

class QTableWidget;
struct TProgramState;

// Page 0: the properties of the current token as (field, value) rows, and the refresh button.
class TKeyInfoPage : public QWidget
{
    Q_OBJECT
public:
    explicit TKeyInfoPage(TProgramState& state, QWidget* parent = nullptr);

    QTableWidget* list() const { return m_lv; }

private:
    [[maybe_unused]] TProgramState& m_state;
    QTableWidget* m_lv;
};
