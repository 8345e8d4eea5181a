// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "certs/ImportJob.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class QDialog;
class QProgressBar;
class QTimer;
class QWidget;
class TCertImportWorker;
struct TProgramState;

// The certificate import of the certificate page: asks for file, container and usage in TIMForm, then
// writes every certificate of the file on a worker thread, one after the other, while the page's
// progress bar advances on TimerCert. The window keeps painting meanwhile; its input is held back so no
// other token action starts, and a request to close it is carried out once the writing has ended.
class TCertImport : public QObject
{
    Q_OBJECT
public:
    explicit TCertImport(TProgramState& state, QObject* parent = nullptr);
    // Waits for a running worker: it may still be writing to the token.
    ~TCertImport() override;

    // Runs the import for the current token. `preselect` is the index of the container the dialog
    // offers first (the selected container node; -1 for none). Returns true when writing has started:
    // finished() follows once it has ended. Otherwise the import stopped before anything was written
    // (full token, cancelled, duplicate name, certificate already there) and stopped() was emitted.
    bool run(QWidget* owner, QProgressBar* bar, int preselect = -1);

    // True from the start of the writing until finished() is emitted.
    bool busy() const { return m_running; }
    // The status of the last import that wrote: 0, or the failing status that was shown.
    quint32 lastStatus() const { return m_lastStatus; }
    QTimer* timerCert() const { return m_timerCert; }

    // The message for a failed import: no rights, a full token, or the failure with its status.
    static QString resultText(quint32 status);

Q_SIGNALS:
    // The dialog is about to be shown (it is closed, and so cancelled, when its token goes away).
    void dialogOpened(QDialog* dialog);
    // The import ended before writing anything.
    void stopped();
    // The writing has ended with this status (any message has been shown); the page rebuilds the
    // certificate tree and schedules store registration.
    void finished(quint32 status);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startNext();
    void workerEnded();
    void tick();
    void end(quint32 status);

    TProgramState& m_state;
    QTimer* m_timerCert;
    QPointer<QWidget> m_window;
    QPointer<QProgressBar> m_bar;
    std::unique_ptr<TCertImportWorker> m_worker;
    // The file being imported and where its certificates go.
    ImportJob m_base;
    int m_count = 0;
    int m_next = 0;
    bool m_running = false;
    bool m_closePending = false;
    quint32 m_lastStatus = 0;
};
