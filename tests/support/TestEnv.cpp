// SPDX-License-Identifier: BSD-3-Clause
#include "TestEnv.h"

#include "platform/AppPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace {
void copyTree(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString src = it.next();
        const QString dst = to + QLatin1Char('/') + QDir(from).relativeFilePath(src);
        QDir().mkpath(QFileInfo(dst).absolutePath());
        QFile::copy(src, dst);
    }
}
} // namespace

TestEnv::TestEnv(bool withAppData)
{
    QDir().mkpath(path(QStringLiteral("app")));
    QDir().mkpath(path(QStringLiteral("appdata")));
    QDir().mkpath(path(QStringLiteral("tokens")));
    const QString templ = qEnvironmentVariable("QX_APPDIR_TEMPLATE");
    if (withAppData && !templ.isEmpty()) {
        copyTree(templ + QStringLiteral("/Languages"), path(QStringLiteral("app/Languages")));
        copyTree(templ + QStringLiteral("/res"), path(QStringLiteral("app/res")));
    }
    qputenv("APPDATA", path(QStringLiteral("appdata")).toLocal8Bit());
    qputenv("QX4100_TOKEN_STORE", path(QStringLiteral("tokens")).toLocal8Bit());
    AppPaths::setApplicationDir(path(QStringLiteral("app")));
}

TestEnv::~TestEnv()
{
    AppPaths::setApplicationDir(QString());
}

QString TestEnv::appDir() const
{
    return path(QStringLiteral("app/"));
}

QString TestEnv::appDataDir() const
{
    return path(QStringLiteral("appdata"));
}

QString TestEnv::settingsDir() const
{
    return path(QStringLiteral("appdata/Vostrel/QX4100/"));
}

QString TestEnv::tokenStore() const
{
    return path(QStringLiteral("tokens"));
}

QString TestEnv::path(const QString& relative) const
{
    return m_root.path() + QLatin1Char('/') + relative;
}
