#pragma once

#include <QWidget>

class QProgressBar;
class QTableWidget;
struct TProgramState;

// Page 5: the host report as (check, state) rows, with re-check, save and update below it.
class TSystemInfoPage : public QWidget
{
    Q_OBJECT
public:
    explicit TSystemInfoPage(TProgramState& state, QWidget* parent = nullptr);

    QTableWidget* list() const { return m_list; }
    QProgressBar* downloadProgress() const { return m_progress; }

private:
    [[maybe_unused]] TProgramState& m_state;
    QTableWidget* m_list;
    QProgressBar* m_progress;
};
