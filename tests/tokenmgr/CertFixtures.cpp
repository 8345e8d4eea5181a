// SPDX-License-Identifier: BSD-3-Clause
#include "CertFixtures.h"

#include <QFile>
#include <QProcess>

CertFixtures::CertFixtures()
{
    const QStringList ec = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                            QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes")};
    const QString ca = QStringLiteral("basicConstraints=critical,CA:TRUE");
    const QString pass = QStringLiteral("pass:") + QString::fromUtf8(Password);
    QFile big(path(QStringLiteral("big.cnf")));
    if (big.open(QIODevice::WriteOnly))
        big.write("[big]\nnsComment=\"" + QByteArray(100000, 'A') + "\"\n");
    big.close();
    // 49 self-signed certificates plus the user's make the 50-certificate bundle.
    QStringList many = {QStringLiteral("pkcs12"),   QStringLiteral("-export"),
                        QStringLiteral("-inkey"),   path(QStringLiteral("user.key")),
                        QStringLiteral("-in"),      path(QStringLiteral("user.pem")),
                        QStringLiteral("-passout"), pass,
                        QStringLiteral("-out"),     path(QStringLiteral("many.p12"))};
    QList<QStringList> steps = {
        QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ec +
            QStringList{QStringLiteral("-keyout"), path(QStringLiteral("root.key")), QStringLiteral("-out"),
                        path(QStringLiteral("root.pem")), QStringLiteral("-utf8"), QStringLiteral("-subj"),
                        QStringLiteral("/C=CN/O=测试机构/CN=根证书 Root"), QStringLiteral("-days"),
                        QStringLiteral("3650"), QStringLiteral("-addext"), ca},
        QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ec +
            QStringList{QStringLiteral("-keyout"), path(QStringLiteral("ca.key")), QStringLiteral("-out"),
                        path(QStringLiteral("ca.pem")), QStringLiteral("-subj"),
                        QStringLiteral("/C=CN/CN=Test CA"), QStringLiteral("-CA"),
                        path(QStringLiteral("root.pem")), QStringLiteral("-CAkey"),
                        path(QStringLiteral("root.key")), QStringLiteral("-days"), QStringLiteral("1825"),
                        QStringLiteral("-addext"), ca},
        QStringList{QStringLiteral("req"),
                    QStringLiteral("-x509"),
                    QStringLiteral("-newkey"),
                    QStringLiteral("rsa:2048"),
                    QStringLiteral("-nodes"),
                    QStringLiteral("-keyout"),
                    path(QStringLiteral("user.key")),
                    QStringLiteral("-out"),
                    path(QStringLiteral("user.pem")),
                    QStringLiteral("-utf8"),
                    QStringLiteral("-subj"),
                    QStringLiteral("/C=CN/CN=张三 User"),
                    QStringLiteral("-CA"),
                    path(QStringLiteral("ca.pem")),
                    QStringLiteral("-CAkey"),
                    path(QStringLiteral("ca.key")),
                    QStringLiteral("-set_serial"),
                    QStringLiteral("0x1A2B3C"),
                    QStringLiteral("-days"),
                    QStringLiteral("365"),
                    QStringLiteral("-addext"),
                    QStringLiteral("basicConstraints=critical,CA:FALSE")},
        {QStringLiteral("x509"), QStringLiteral("-in"), path(QStringLiteral("user.pem")),
         QStringLiteral("-outform"), QStringLiteral("DER"), QStringLiteral("-out"),
         path(QStringLiteral("user.der"))},
        {QStringLiteral("crl2pkcs7"), QStringLiteral("-nocrl"), QStringLiteral("-certfile"),
         path(QStringLiteral("user.pem")), QStringLiteral("-certfile"), path(QStringLiteral("ca.pem")),
         QStringLiteral("-certfile"), path(QStringLiteral("root.pem")), QStringLiteral("-outform"),
         QStringLiteral("DER"), QStringLiteral("-out"), path(QStringLiteral("chain.p7b"))},
        {QStringLiteral("crl2pkcs7"), QStringLiteral("-nocrl"), QStringLiteral("-certfile"),
         path(QStringLiteral("ca.pem")), QStringLiteral("-out"), path(QStringLiteral("ca-pem.p7b"))},
        {QStringLiteral("pkcs12"), QStringLiteral("-export"), QStringLiteral("-inkey"),
         path(QStringLiteral("user.key")), QStringLiteral("-in"), path(QStringLiteral("user.pem")),
         QStringLiteral("-certfile"), path(QStringLiteral("ca.pem")), QStringLiteral("-passout"), pass,
         QStringLiteral("-out"), path(QStringLiteral("user.p12"))},
        {QStringLiteral("pkcs12"), QStringLiteral("-export"), QStringLiteral("-legacy"),
         QStringLiteral("-inkey"), path(QStringLiteral("user.key")), QStringLiteral("-in"),
         path(QStringLiteral("user.pem")), QStringLiteral("-passout"), pass, QStringLiteral("-out"),
         path(QStringLiteral("legacy.p12"))},
        {QStringLiteral("pkcs12"), QStringLiteral("-export"), QStringLiteral("-nocerts"),
         QStringLiteral("-inkey"), path(QStringLiteral("user.key")), QStringLiteral("-passout"), pass,
         QStringLiteral("-out"), path(QStringLiteral("nocerts.p12"))},
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-key"),
         path(QStringLiteral("ca.key")), QStringLiteral("-subj"), QStringLiteral("/CN=big"),
         QStringLiteral("-config"), path(QStringLiteral("big.cnf")), QStringLiteral("-extensions"),
         QStringLiteral("big"), QStringLiteral("-out"), path(QStringLiteral("big.pem"))},
        {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-key"),
         path(QStringLiteral("ca.key")), QStringLiteral("-utf8"), QStringLiteral("-subj"),
         QStringLiteral("/ST=%1/L=%2/O=%3/OU=%4/CN=%5")
             .arg(QString(60, QLatin1Char('s')), QString(60, QLatin1Char('l')), QString(60, QChar(0x7EC4)),
                  QString(60, QLatin1Char('u')), QString(60, QLatin1Char('c'))),
         QStringLiteral("-out"), path(QStringLiteral("long.pem"))},
        {QStringLiteral("pkcs12"), QStringLiteral("-export"), QStringLiteral("-nokeys"),
         QStringLiteral("-in"), path(QStringLiteral("big.pem")), QStringLiteral("-passout"), pass,
         QStringLiteral("-out"), path(QStringLiteral("big.p12"))},
    };
    QByteArray bundle;
    for (int i = 1; i < ManyCount; ++i) {
        const QString name = QStringLiteral("m%1.pem").arg(i);
        steps << QStringList{QStringLiteral("req"),   QStringLiteral("-x509"),
                             QStringLiteral("-key"),  path(QStringLiteral("ca.key")),
                             QStringLiteral("-subj"), QStringLiteral("/CN=many %1").arg(i),
                             QStringLiteral("-out"),  path(name)};
    }
    for (const QStringList& s : steps)
        if (!run(s))
            return;
    for (int i = 1; i < ManyCount; ++i) {
        QFile f(path(QStringLiteral("m%1.pem").arg(i)));
        if (f.open(QIODevice::ReadOnly))
            bundle += f.readAll();
    }
    QFile b(path(QStringLiteral("bundle.pem")));
    if (b.open(QIODevice::WriteOnly))
        b.write(bundle);
    b.close();
    many << QStringLiteral("-certfile") << path(QStringLiteral("bundle.pem"));
    m_ok = run(many);
}

bool CertFixtures::run(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1: %2")
                      .arg(args.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAllStandardError()));
        return false;
    }
    return true;
}

QByteArray CertFixtures::der(const QString& pemName) const
{
    QFile f(path(pemName));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray pem = f.readAll();
    const qsizetype a = pem.indexOf("-----BEGIN CERTIFICATE-----");
    const qsizetype e = pem.indexOf("-----END CERTIFICATE-----");
    if (a < 0 || e < 0)
        return {};
    return QByteArray::fromBase64(pem.mid(a + 27, e - a - 27));
}
