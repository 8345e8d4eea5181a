// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "SystemReport.h"
#include "ui/TPage.h"

class QLabel;
class QProgressBar;
class QTableWidget;
class QTimer;
class TOnlineUpdate;
struct TProgramState;

// The host report as (check, state) rows, with re-check, save and update below it.
class TSystemInfoPage : public TPage
{
    Q_OBJECT
public:
    explicit TSystemInfoPage(TProgramState& state, QWidget* parent = nullptr);
    ~TSystemInfoPage() override;

    QTableWidget* list() const { return m_list; }
    QProgressBar* downloadProgress() const { return m_progress; }
    // Why the last update check failed; hidden when it did not.
    QLabel* updateStatus() const { return m_updateStatus; }
    TOnlineUpdate* update() const { return m_update; }

    // 1000 shows the CSP rows, 2000 the minidriver rows.
    void setEdition(int edition) { m_edition = edition; }
    int edition() const { return m_edition; }

    void ShowSystemReport();
    // Rows appear one by one, each after a random pause below `pauseBound` ms (0: all at once).
    void RunFullCheck(int pauseBound);
    bool fullCheckRunning() const;
    bool SaveReport(const QString& fileName) const;

private:
    void showRows(const QList<SystemReport::Row>& rows);
    void addRow(const SystemReport::Row& row);
    void addNextRow();
    void AcSaveExecute();

    QTableWidget* m_list;
    QProgressBar* m_progress;
    QLabel* m_updateStatus;
    TOnlineUpdate* m_update;
    QTimer* m_rowTimer;
    QList<SystemReport::Row> m_pendingRows;
    int m_pauseBound = 0;
    int m_edition = SystemReport::CspEdition;
};
