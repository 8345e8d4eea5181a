// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>

// Facts about the host for the system report, behind one interface so the report can be tested
// against a fake and a Windows side can be added beside the Linux one. Every query answers; a
// failure shows as an empty text, false or "-1", never as an error.
class HostQueries
{
public:
    // The two folders modules are installed in: the system's own (system32) and, on a 64-bit
    // system, the one for the other word size (sysWOW64).
    enum class Folder
    {
        System,
        Other
    };

    virtual ~HostQueries();

    // The queries in use: the installed ones, else the host's.
    static HostQueries& instance();
    // Installs a replacement (nullptr restores the host's); the caller keeps ownership.
    static void install(HostQueries* queries);

    // The system's name and version, with " (x64)" or " (win32)" by word size.
    virtual QString windowsName() = 0;
    virtual bool isX64() = 0;
    // The default browser's name and version; empty when unknown.
    virtual QString ieVersion() = 0;
    // Where a module of the given Windows file name lives in `folder` on this host.
    virtual QString modulePath(Folder folder, const QString& windowsFileName) = 0;
    virtual bool fileExists(const QString& path) = 0;
    // The module's version as dotted numbers; empty when it has none, "-1" when it cannot be read.
    virtual QString fileVersionText(const QString& path) = 0;
    // True when the cryptographic provider of that name is registered with the system.
    virtual bool cspRegistered(const QString& providerName) = 0;
    // True when the service of that Windows name runs.
    virtual bool serviceRunning(const QString& serviceName) = 0;
};
