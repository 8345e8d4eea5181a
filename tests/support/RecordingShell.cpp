// SPDX-License-Identifier: BSD-3-Clause
#include "RecordingShell.h"

RecordingShell::RecordingShell()
{
    ShellOpen::install(this);
}

RecordingShell::~RecordingShell()
{
    ShellOpen::install(nullptr);
}

bool RecordingShell::openDocument(const QUrl& url)
{
    m_requests.append({false, url.toString(), {}});
    return true;
}

bool RecordingShell::startProgram(const QString& program, const QStringList& arguments)
{
    m_requests.append({true, program, arguments});
    return true;
}
