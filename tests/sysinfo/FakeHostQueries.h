// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "platform/HostQueries.h"

#include <QHash>
#include <QSet>

// Host facts set by the test, installed while it lives. Modules live in "C:/Windows/system32/" and
// "C:/Windows/sysWOW64/" under their Windows names.
class FakeHostQueries : public HostQueries
{
public:
    FakeHostQueries() { HostQueries::install(this); }
    ~FakeHostQueries() override { HostQueries::install(nullptr); }

    QString name = QStringLiteral("Debian GNU/Linux 12 (bookworm) Linux 6.1.0");
    bool x64 = true;
    QString browser = QStringLiteral("Firefox 115.6.0");
    QHash<QString, QString> versions; // path -> version; a listed path exists
    QSet<QString> providers;
    QSet<QString> services;

    static QString system(const QString& name) { return QStringLiteral("C:/Windows/system32/") + name; }
    static QString other(const QString& name) { return QStringLiteral("C:/Windows/sysWOW64/") + name; }

    QString windowsName() override
    {
        return name + (x64 ? QStringLiteral(" (x64)") : QStringLiteral(" (win32)"));
    }
    bool isX64() override { return x64; }
    QString ieVersion() override { return browser; }
    QString modulePath(Folder folder, const QString& file) override
    {
        return folder == Folder::System ? system(file) : other(file);
    }
    bool fileExists(const QString& path) override { return versions.contains(path); }
    QString fileVersionText(const QString& path) override { return versions.value(path); }
    bool cspRegistered(const QString& provider) override { return providers.contains(provider); }
    bool serviceRunning(const QString& service) override { return services.contains(service); }
};
