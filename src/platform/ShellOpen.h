// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>
#include <QStringList>

class QUrl;

// The shell's "open": a program is started, anything else (an address, a document) goes to the
// desktop's handler for it. Program names keep their Windows spelling at the call sites: a trailing
// ".exe" is dropped and "IExplore.EXE" means the desktop's browser. Tests install a recording fake.
class ShellOpen
{
public:
    virtual ~ShellOpen();

    static ShellOpen& instance();
    // Installs a replacement (nullptr restores the real one); the caller keeps ownership.
    static void install(ShellOpen* shell);

    // Opens `file` with `parameters` (one argument, passed unsplit; empty for none). The result
    // tells whether the request could be handed over; most callers ignore it.
    bool open(const QString& file, const QString& parameters = QString());

    // The program a Windows program name stands for here, or empty when `file` is no program.
    static QString programFor(const QString& file);

protected:
    virtual bool openDocument(const QUrl& url) = 0;
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
};
