// SPDX-License-Identifier: BSD-3-Clause
#include "ShellOpen.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {

class DesktopShell : public ShellOpen
{
protected:
    bool openDocument(const QUrl& url) override { return QDesktopServices::openUrl(url); }
    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        return QProcess::startDetached(program, arguments);
    }
};

ShellOpen*& installed()
{
    static ShellOpen* shell = nullptr;
    return shell;
}

} // namespace

ShellOpen::~ShellOpen() = default;

ShellOpen& ShellOpen::instance()
{
    if (installed())
        return *installed();
    static DesktopShell real;
    return real;
}

void ShellOpen::install(ShellOpen* shell)
{
    installed() = shell;
}

QString ShellOpen::programFor(const QString& file)
{
    const QString name = QFileInfo(file).fileName();
    if (name.compare(QLatin1String("IExplore.EXE"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("x-www-browser");
    if (file.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        return file.chopped(4);
    const QFileInfo info(file);
    if (info.isFile() && info.isExecutable())
        return file;
    return QString();
}

bool ShellOpen::open(const QString& file, const QString& parameters)
{
    if (file.isEmpty())
        return false;
    const QString program = programFor(file);
    if (!program.isEmpty())
        return startProgram(program, parameters.isEmpty() ? QStringList() : QStringList{parameters});
    return openDocument(QUrl::fromUserInput(file, QDir::currentPath()));
}
