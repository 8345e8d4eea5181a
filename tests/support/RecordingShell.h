// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "platform/ShellOpen.h"

#include <QList>
#include <QUrl>

// Stands in for the desktop's shell while it lives and records every request instead of acting.
class RecordingShell : public ShellOpen
{
public:
    struct Request
    {
        bool program;   // a program start, else a document opened by its handler
        QString target; // the program, or the document's URL as text
        QStringList arguments;
    };

    RecordingShell();
    ~RecordingShell() override;

    const QList<Request>& requests() const { return m_requests; }
    void clear() { m_requests.clear(); }

protected:
    bool openDocument(const QUrl& url) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;

private:
    QList<Request> m_requests;
};
