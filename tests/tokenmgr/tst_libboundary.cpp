// SPDX-License-Identifier: BSD-3-Clause
// What the libraries are as files: no user-interface toolkit among their needed libraries, and the
// token manager library's viewer function handing certificates to a viewer library beside it.
#include "CertFixtures.h"
#include "TokenMgr.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <dlfcn.h>

#include <memory>

namespace {

struct DlClose
{
    void operator()(void* h) const { dlclose(h); }
};
using Library = std::unique_ptr<void, DlClose>;
using ShowCert = tm_status (*)(uintptr_t, const unsigned char*, int32_t);

QStringList neededLibraries(const QString& file)
{
    QProcess p;
    p.start(QStringLiteral("readelf"), {QStringLiteral("-d"), QStringLiteral("-W"), file});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {QStringLiteral("<readelf failed>")};
    QStringList needed;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (!line.contains(QLatin1String("(NEEDED)")))
            continue;
        needed << line.section(QLatin1Char('['), 1).section(QLatin1Char(']'), 0, 0);
    }
    return needed;
}

} // namespace

class TstLibBoundary : public QObject
{
    Q_OBJECT
    std::unique_ptr<CertFixtures> m_files;

    // The viewer function of the library at `path`, loaded on its own.
    ShowCert load(const QString& path, Library& lib)
    {
        lib.reset(dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL));
        return lib ? reinterpret_cast<ShowCert>(dlsym(lib.get(), "helper_show_cert_ui")) : nullptr;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_files = std::make_unique<CertFixtures>();
        QVERIFY2(m_files->ok(), qPrintable(m_files->error()));
    }

    void noToolkitNeeded_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("token manager") << QStringLiteral(TOKENMGR_FILE);
        QTest::newRow("SKF device") << QStringLiteral(SKF_FILE);
    }

    void noToolkitNeeded()
    {
        QFETCH(QString, file);
        const QStringList needed = neededLibraries(file);
        QVERIFY2(!needed.isEmpty() && !needed.contains(QStringLiteral("<readelf failed>")), qPrintable(file));
        QVERIFY(needed.contains(QStringLiteral("libQt6Core.so.6")));
        for (const QString& lib : needed)
            QVERIFY2(!lib.startsWith(QLatin1String("libQt6Widgets")) &&
                         !lib.startsWith(QLatin1String("libQt6Gui")),
                     qPrintable(lib));
    }

    void versionedSoname()
    {
        QProcess p;
        p.start(QStringLiteral("readelf"),
                {QStringLiteral("-d"), QStringLiteral("-W"), QStringLiteral(TOKENMGR_FILE)});
        QVERIFY(p.waitForFinished(30000));
        QVERIFY(QString::fromUtf8(p.readAllStandardOutput()).contains(QLatin1String("[libTokenMgr.so.1]")));
    }

    void viewerLibrary_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<quint32>("status");

        const QByteArray der = m_files->der(QStringLiteral("user.pem"));
        const quint32 handedOn = 0x0C000000u | (7u << 16) | quint32(der.size());
        QTest::newRow("none installed") << false << der << quint32(TM_ERR_NO_UI);
        QTest::newRow("installed beside the library") << true << der << handedOn;
        QTest::newRow("not a certificate never reaches it")
            << true << QByteArray("0 not a certificate") << quint32(TM_ERR_CERTIFICATE);
        QTest::newRow("nothing") << true << QByteArray() << quint32(TM_ERR_ARGUMENTS);
    }

    void viewerLibrary()
    {
        QFETCH(bool, installed);
        QFETCH(QByteArray, bytes);
        QFETCH(quint32, status);

        // A folder of its own holding a copy of the library, and the viewer library when installed.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString copy = dir.filePath(QStringLiteral("libTokenMgr.so.1"));
        QVERIFY(QFile::copy(QStringLiteral(TOKENMGR_FILE), copy));
        if (installed)
            QVERIFY(QFile::copy(QStringLiteral(FAKEUI_FILE), dir.filePath(QStringLiteral(TM_UI_LIBRARY))));

        Library lib;
        const ShowCert show = load(copy, lib);
        QVERIFY2(show, dlerror());
        const auto* data =
            reinterpret_cast<const unsigned char*>(bytes.isEmpty() ? nullptr : bytes.constData());
        QCOMPARE(show(7, data, int32_t(bytes.size())), status);
    }
};

QTEST_GUILESS_MAIN(TstLibBoundary)
#include "tst_libboundary.moc"
