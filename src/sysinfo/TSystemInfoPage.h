#pragma once

#include "ui/TPage.h"

class QProgressBar;
class QTableWidget;
struct TProgramState;

// The host report as (check, state) rows, with re-check, save and update below it.
class TSystemInfoPage : public TPage
{
    Q_OBJECT
public:
    explicit TSystemInfoPage(TProgramState& state, QWidget* parent = nullptr);

    QTableWidget* list() const { return m_list; }
    QProgressBar* downloadProgress() const { return m_progress; }

private:
    QTableWidget* m_list;
    QProgressBar* m_progress;
};
