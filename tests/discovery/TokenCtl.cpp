// SPDX-License-Identifier: BSD-3-Clause
#include "TokenCtl.h"

#include <QProcess>
#include <QtDebug>

bool TokenCtl::run(const QStringList& args, QString* out)
{
    QProcess p;
    p.setProgram(qEnvironmentVariable("QX_APPDIR_TEMPLATE") + QStringLiteral("/tokenctl"));
    p.setArguments(args);
    p.start();
    const bool ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    const QString output = QString::fromLocal8Bit(p.readAllStandardOutput());
    if (out)
        *out = output;
    if (!ok)
        qWarning().noquote() << "tokenctl" << args.join(QLatin1Char(' ')) << "failed:" << output
                             << QString::fromLocal8Bit(p.readAllStandardError());
    return ok;
}

bool TokenCtl::create(const QString& serial, const QStringList& options)
{
    return run(QStringList{QStringLiteral("create"), QStringLiteral("--serial"), serial} + options);
}

bool TokenCtl::fault(const QString& serial, const QStringList& fault)
{
    return run(QStringList{QStringLiteral("fault"), serial} + fault);
}
