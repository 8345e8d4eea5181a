#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

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
} // namespace

namespace AppPaths {

QString applicationDir()
{
    if (!overriddenAppDir().isEmpty())
        return overriddenAppDir();
    return withSeparator(QCoreApplication::applicationDirPath());
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

} // namespace AppPaths
