// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Certificate files made by the openssl command line at run time, so the library is tested on files
// written by another implementation: a root, a CA under it and a user under the CA, in every file kind.
class CertFixtures
{
public:
    CertFixtures();
    bool ok() const { return m_ok; }
    QString error() const { return m_error; }
    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    QByteArray der(const QString& pemName) const; // DER bytes of a PEM certificate file

    static constexpr const char* Password = "s3cret-密码";
    static constexpr int ManyCount = 50;

private:
    bool run(const QStringList& args);
    QTemporaryDir m_dir;
    bool m_ok = false;
    QString m_error;
};
