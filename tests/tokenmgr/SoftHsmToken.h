// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtGlobal>

// A SoftHSM2 token store of the test's own: a temporary SOFTHSM2_CONF and its token folder, and tokens
// initialized in it by softhsm2-util. The module re-reads the configuration at its next C_Initialize.
class SoftHsmToken
{
public:
    static QByteArray module()
    {
        const QByteArray m = qgetenv("QX_SOFTHSM_MODULE");
        return m.isEmpty() ? QByteArray("/usr/lib/softhsm/libsofthsm2.so") : m;
    }

    SoftHsmToken()
    {
        m_previous = qgetenv("SOFTHSM2_CONF");
        const QString tokens = m_dir.path() + QStringLiteral("/tokens");
        QDir().mkpath(tokens);
        QFile conf(confPath());
        if (!conf.open(QIODevice::WriteOnly))
            return;
        conf.write("directories.tokendir = " + tokens.toUtf8() +
                   "\nobjectstore.backend = file\nlog.level = ERROR\nslots.removable = false\n");
        conf.close();
        qputenv("SOFTHSM2_CONF", confPath().toUtf8());
        m_ok = true;
    }
    ~SoftHsmToken()
    {
        if (m_previous.isEmpty())
            qunsetenv("SOFTHSM2_CONF");
        else
            qputenv("SOFTHSM2_CONF", m_previous);
    }

    bool ok() const { return m_ok && QFile::exists(QString::fromLocal8Bit(module())); }
    QString confPath() const { return m_dir.path() + QStringLiteral("/softhsm2.conf"); }

    // A new initialized token; false when softhsm2-util failed.
    bool initToken(const QString& label, const QByteArray& userPin, const QByteArray& soPin)
    {
        return run(QStringLiteral("softhsm2-util"),
                   {QStringLiteral("--init-token"), QStringLiteral("--free"), QStringLiteral("--label"),
                    label, QStringLiteral("--pin"), QString::fromLatin1(userPin), QStringLiteral("--so-pin"),
                    QString::fromLatin1(soPin)});
    }

    static bool run(const QString& program, const QStringList& args, QByteArray* out = nullptr)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        if (!p.waitForFinished(120000))
            return false;
        const QByteArray text = p.readAll();
        if (out)
            *out = text;
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            qWarning("%s failed: %s", qPrintable(program), text.constData());
            return false;
        }
        return true;
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_ok = false;
};
