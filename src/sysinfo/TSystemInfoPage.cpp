// SPDX-License-Identifier: BSD-3-Clause
#include "TSystemInfoPage.h"

#include "TOnlineUpdate.h"
#include "platform/DialogService.h"
#include "platform/HostQueries.h"
#include "platform/ShellOpen.h"
#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace PageWidgets;

TSystemInfoPage::TSystemInfoPage(TProgramState& state, QWidget* parent)
    : TPage(state, parent), m_list(PageWidgets::reportList(this, "LVSystemInfo", 150, 240)),
      m_progress(new QProgressBar(this)), m_updateStatus(new QLabel(this)),
      m_update(new TOnlineUpdate(state, m_progress, this)), m_rowTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("TabSheet6"));

    m_progress->setObjectName(QStringLiteral("pbURLDownFile"));
    m_progress->setValue(0);

    m_rowTimer->setSingleShot(true);
    connect(m_rowTimer, &QTimer::timeout, this, &TSystemInfoPage::addNextRow);

    QAction* more = action(this, "AcMore");
    QAction* save = action(this, "AcSave");
    QAction* check = action(this, "AcUpdate");
    connect(more, &QAction::triggered, this, [this] { RunFullCheck(m_state.timings.fullCheckPause); });
    connect(save, &QAction::triggered, this, &TSystemInfoPage::AcSaveExecute);
    connect(check, &QAction::triggered, m_update, &TOnlineUpdate::AcUpdateExecute);
    connect(m_update, &TOnlineUpdate::runningChanged, check,
            [check](bool running) { check->setEnabled(!running); });
    // A failed check says why on the page itself; the log holds the same reason.
    m_updateStatus->setObjectName(QStringLiteral("lblUpdateStatus"));
    m_updateStatus->setWordWrap(true);
    m_updateStatus->hide();
    connect(m_update, &TOnlineUpdate::failureChanged, m_updateStatus, [this](const QString& reason) {
        m_updateStatus->setText(reason);
        m_updateStatus->setVisible(!reason.isEmpty());
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_progress, 1);
    buttons->addWidget(button(this, "btnMore", more));
    buttons->addWidget(button(this, "btnSave", save));
    buttons->addWidget(button(this, "btnUpdate", check));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_updateStatus);
    layout->addLayout(buttons);
}

TSystemInfoPage::~TSystemInfoPage() = default;

void TSystemInfoPage::ShowSystemReport()
{
    showRows(SystemReport::basic(HostQueries::instance(), m_edition));
}

void TSystemInfoPage::RunFullCheck(int pauseBound)
{
    m_pauseBound = pauseBound;
    m_pendingRows = SystemReport::full(HostQueries::instance(), m_edition, m_state);
    m_list->setRowCount(0);
    if (pauseBound <= 0) {
        for (const SystemReport::Row& row : std::as_const(m_pendingRows))
            addRow(row);
        m_pendingRows.clear();
        return;
    }
    addNextRow();
}

bool TSystemInfoPage::fullCheckRunning() const
{
    return !m_pendingRows.isEmpty();
}

void TSystemInfoPage::addNextRow()
{
    if (m_pendingRows.isEmpty())
        return;
    const SystemReport::Row row = m_pendingRows.takeFirst();
    addRow(row);
    // The last row comes without a pause.
    if (!m_pendingRows.isEmpty() && row.state != SystemReport::NoState)
        m_rowTimer->start(int(QRandomGenerator::global()->bounded(quint32(m_pauseBound))));
    else
        addNextRow();
}

void TSystemInfoPage::showRows(const QList<SystemReport::Row>& rows)
{
    m_rowTimer->stop();
    m_pendingRows.clear();
    m_list->setRowCount(0);
    for (const SystemReport::Row& row : rows)
        addRow(row);
}

void TSystemInfoPage::addRow(const SystemReport::Row& row)
{
    const int at = m_list->rowCount();
    m_list->insertRow(at);
    auto* caption = new QTableWidgetItem(row.caption);
    // The state is kept where the Windows list kept its image index; no icon is drawn.
    if (row.state != SystemReport::NoState)
        caption->setData(Qt::UserRole, row.state);
    m_list->setItem(at, 0, caption);
    m_list->setItem(at, 1, new QTableWidgetItem(row.value));
}

bool TSystemInfoPage::SaveReport(const QString& fileName) const
{
    QList<SystemReport::Row> rows;
    for (int i = 0; i < m_list->rowCount(); ++i) {
        const QTableWidgetItem* caption = m_list->item(i, 0);
        const QTableWidgetItem* value = m_list->item(i, 1);
        rows.append({caption ? caption->text() : QString(), value ? value->text() : QString()});
    }
    return SystemReport::save(fileName, rows);
}

void TSystemInfoPage::AcSaveExecute()
{
    DialogService::FileDialogOptions options;
    options.defaultSuffix = QStringLiteral("txt");
    options.fileName = QStringLiteral("SystemInfo.txt");
    options.confirmOverwrite = true;
    const QString fileName = DialogService::instance().saveFileName(this, options);
    if (fileName.isEmpty())
        return;
    if (SaveReport(fileName))
        ShellOpen::instance().open(fileName);
}
