// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "certs/ImportJob.h"

#include <QThread>

#include <atomic>

// Writes one certificate of a parsed file (or a single certificate file) into its container, making
// the container first when the token does not have it. Runs on its own thread; the window reads the
// progress step and the timer interval it publishes, and its result once it has finished.
class TCertImportWorker : public QThread
{
    Q_OBJECT
public:
    // `fastInterval` is the progress timer's interval while the certificate is written,
    // `slowInterval` while a container is made first.
    TCertImportWorker(const ImportJob& job, int fastInterval, int slowInterval, QObject* parent = nullptr);
    ~TCertImportWorker() override;

    int step() const { return m_step.load(); }
    int interval() const { return m_interval.load(); }
    // The status of the write; valid once the thread has finished.
    quint32 result() const { return m_result.load(); }

protected:
    void run() override;

private:
    void publish(int step, int interval);
    quint32 write() const;

    const ImportJob m_job;
    const int m_fastInterval;
    const int m_slowInterval;
    std::atomic<int> m_step{0};
    std::atomic<int> m_interval{0};
    std::atomic<quint32> m_result{0};
};
