// SPDX-License-Identifier: BSD-3-Clause
#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

// Relative paths from the installed executable's folder, given by the build's install layout.
#ifndef QX_INSTALL_REL_DATADIR
#define QX_INSTALL_REL_DATADIR "../share/qx4100"
#endif
#ifndef QX_INSTALL_REL_LIBDIR
#define QX_INSTALL_REL_LIBDIR "../lib/qx4100"
#endif

namespace {
QString& overriddenAppDir()
{
    static QString dir;
    return dir;
}

QString withSeparator(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

QString executableDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    return QFileInfo(self.canonicalFilePath()).absolutePath();
}
} // namespace

namespace AppPaths {

Dirs dirsForExecutableDir(const QString& executableDir)
{
    const QDir bin(executableDir);
    const QString data = QDir::cleanPath(bin.filePath(QStringLiteral(QX_INSTALL_REL_DATADIR)));
    const QString library = QDir::cleanPath(bin.filePath(QStringLiteral(QX_INSTALL_REL_LIBDIR)));
    if (QFileInfo(data).isDir() || QFileInfo(library).isDir())
        return {withSeparator(data), withSeparator(library), true};
    const QString here = withSeparator(executableDir);
    return {here, here, false};
}

QString applicationDir()
{
    if (!overriddenAppDir().isEmpty())
        return overriddenAppDir();
    static const QString dir = dirsForExecutableDir(executableDir()).data;
    return dir;
}

QString libraryDir()
{
    if (!overriddenAppDir().isEmpty())
        return overriddenAppDir();
    static const QString dir = dirsForExecutableDir(executableDir()).library;
    return dir;
}

void setApplicationDir(const QString& dir)
{
    overriddenAppDir() = dir.isEmpty() ? QString() : withSeparator(dir);
}

QString settingsDir()
{
    QString base = qEnvironmentVariable("APPDATA");
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString dir = withSeparator(base) + QStringLiteral("Vostrel/QX4100/");
    QDir().mkpath(dir);
    return dir;
}

QString defaultsFileForReading(const QString& name)
{
    const QString own = settingsDir() + name;
    return QFileInfo::exists(own) ? own : applicationDir() + name;
}

} // namespace AppPaths
