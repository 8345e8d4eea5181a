// SPDX-License-Identifier: BSD-3-Clause
#include "LinuxHostQueries.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A query never hangs the report on a stuck helper program.
constexpr int HelperTimeoutMs = 2000;

QString runHelper(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(HelperTimeoutMs))
        return {};
    if (!process.waitForFinished(HelperTimeoutMs)) {
        process.kill();
        process.waitForFinished(HelperTimeoutMs);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

class SocketFd
{
public:
    SocketFd() : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~SocketFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SocketFd(const SocketFd&) = delete;
    SocketFd& operator=(const SocketFd&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

bool socketAnswers(const QByteArray& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof(address.sun_path)))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    SocketFd socket;
    return socket.fd() >= 0 &&
           ::connect(socket.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}

QString multiarchDir(bool native)
{
    const QString arch = QSysInfo::currentCpuArchitecture();
    if (!native)
        return QStringLiteral("/usr/lib/i386-linux-gnu/");
    if (arch == QLatin1String("x86_64"))
        return QStringLiteral("/usr/lib/x86_64-linux-gnu/");
    if (arch == QLatin1String("arm64"))
        return QStringLiteral("/usr/lib/aarch64-linux-gnu/");
    return QStringLiteral("/usr/lib/");
}

} // namespace

QString LinuxHostQueries::windowsName()
{
    QString name = QSysInfo::prettyProductName();
    const QString kernel = QSysInfo::kernelVersion();
    if (!kernel.isEmpty())
        name += QLatin1String(" Linux ") + kernel;
    return name + (isX64() ? QLatin1String(" (x64)") : QLatin1String(" (win32)"));
}

bool LinuxHostQueries::isX64()
{
    return QSysInfo::currentCpuArchitecture().contains(QLatin1String("64"));
}

QString LinuxHostQueries::ieVersion()
{
    const QString desktopFile = runHelper(QStringLiteral("xdg-settings"),
                                          {QStringLiteral("get"), QStringLiteral("default-web-browser")});
    if (desktopFile.isEmpty())
        return {};
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopFile);
    if (path.isEmpty())
        return {};
    QSettings entry(path, QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    const QString name = entry.value(QStringLiteral("Name")).toString();
    const QString exec = entry.value(QStringLiteral("Exec")).toString().section(QLatin1Char(' '), 0, 0);
    QString version;
    if (!exec.isEmpty() && !QStandardPaths::findExecutable(exec).isEmpty()) {
        static const QRegularExpression number(QStringLiteral("\\d+(\\.\\d+)+"));
        version = number.match(runHelper(exec, {QStringLiteral("--version")})).captured();
    }
    return version.isEmpty() ? name : name + QLatin1Char(' ') + version;
}

QString LinuxHostQueries::modulePath(Folder folder, const QString& windowsFileName)
{
    // The minidriver's place is taken by the CCID reader driver of pcsc-lite.
    if (windowsFileName.startsWith(QLatin1String("zKeyraMiniDrv"), Qt::CaseInsensitive)) {
        const QString bundle = QStringLiteral("pcsc/drivers/ifd-ccid.bundle/Contents/Linux/libccid.so");
        return folder == Folder::System ? QStringLiteral("/usr/lib/") + bundle : multiarchDir(false) + bundle;
    }
    QString name = windowsFileName;
    if (name.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive))
        name = name.chopped(4) + QLatin1String(".so");
    return multiarchDir(folder == Folder::System) + name;
}

bool LinuxHostQueries::fileExists(const QString& path)
{
    return QFileInfo(path).isFile();
}

QString LinuxHostQueries::fileVersionText(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    // The link a library is installed under points at the file whose name carries the version.
    const QString target = info.canonicalFilePath();
    if (target.isEmpty())
        return QStringLiteral("-1");
    return versionFromFileName(QFileInfo(target).fileName());
}

QString LinuxHostQueries::versionFromFileName(const QString& fileName)
{
    static const QRegularExpression versioned(QStringLiteral("\\.so\\.(\\d+(?:\\.\\d+)*)$"));
    return versioned.match(fileName).captured(1);
}

QString LinuxHostQueries::moduleConfigName(const QString& providerName)
{
    static const QRegularExpression others(QStringLiteral("[^a-z0-9]+"));
    QString name = providerName.toLower();
    name.replace(others, QStringLiteral("-"));
    while (name.startsWith(QLatin1Char('-')))
        name.remove(0, 1);
    while (name.endsWith(QLatin1Char('-')))
        name.chop(1);
    return name;
}

QStringList LinuxHostQueries::moduleConfigDirs()
{
    return {QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QLatin1String("/pkcs11/modules/"),
            QStringLiteral("/etc/pkcs11/modules/"), QStringLiteral("/usr/share/p11-kit/modules/")};
}

bool LinuxHostQueries::cspRegistered(const QString& providerName)
{
    const QString name = moduleConfigName(providerName);
    if (name.isEmpty())
        return false;
    for (const QString& dir : moduleConfigDirs())
        if (QFileInfo(dir + name + QLatin1String(".module")).isFile())
            return true;
    return false;
}

bool LinuxHostQueries::serviceRunning(const QString& serviceName)
{
    // The Windows smart-card service's part is played by pcscd.
    const QString unit = serviceName.compare(QLatin1String("SCardSvr"), Qt::CaseInsensitive) == 0
                             ? QStringLiteral("pcscd")
                             : serviceName;
    if (unit == QLatin1String("pcscd") && socketAnswers(QByteArrayLiteral("/run/pcscd/pcscd.comm")))
        return true;
    return runHelper(QStringLiteral("systemctl"), {QStringLiteral("is-active"), unit}) ==
           QLatin1String("active");
}
