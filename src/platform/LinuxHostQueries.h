// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "HostQueries.h"

#include <QStringList>

// The host queries on Linux: the distribution and kernel for the system's name, the desktop's
// default browser, p11-kit module configurations for registered providers, versioned library
// file names for module versions, and pcscd for the smart-card service.
class LinuxHostQueries : public HostQueries
{
public:
    QString windowsName() override;
    bool isX64() override;
    QString ieVersion() override;
    QString modulePath(Folder folder, const QString& windowsFileName) override;
    bool fileExists(const QString& path) override;
    QString fileVersionText(const QString& path) override;
    bool cspRegistered(const QString& providerName) override;
    bool serviceRunning(const QString& serviceName) override;

    // The version a library's file name carries after ".so." ("libx.so.1.2.3" gives "1.2.3");
    // empty when there is none.
    static QString versionFromFileName(const QString& fileName);
    // The p11-kit configuration base name a provider name stands for: lower case, every run of
    // other characters than letters and digits one '-'.
    static QString moduleConfigName(const QString& providerName);
    // Folders searched for p11-kit module configurations, the user's first.
    static QStringList moduleConfigDirs();
};
