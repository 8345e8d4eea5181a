// SPDX-License-Identifier: BSD-3-Clause
#include "TOnlineUpdate.h"

#include "UpdateDownload.h"
#include "i18n/ResStrs.h"
#include "platform/AppPaths.h"
#include "platform/CopyDataChannel.h"
#include "platform/ShellOpen.h"
#include "platform/TIniFile.h"
#include "ui/Messages.h"
#include "ui/TProgramState.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTimer>

namespace {

const QString kClientConfig = QStringLiteral("ClientConfig.txt");
const QString kServerConfig = QStringLiteral("ServerConfig.txt");
const QString kSetupProgram = QStringLiteral("zKeyra_Setup");
const QString kLogFile = QStringLiteral("Logs.txt");
// Short enough that a missing tray program does not hold up the check.
constexpr int TrayCommandTimeoutMs = 200;

bool isNumber(const QString& part)
{
    if (part.isEmpty())
        return false;
    for (const QChar c : part)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

int compareNumbers(QString a, QString b)
{
    // Any number of digits: without leading zeros the longer one is larger.
    while (a.size() > 1 && a.startsWith(QLatin1Char('0')))
        a.remove(0, 1);
    while (b.size() > 1 && b.startsWith(QLatin1Char('0')))
        b.remove(0, 1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

TOnlineUpdate::TOnlineUpdate(TProgramState& state, QProgressBar* progress, QObject* parent)
    : QObject(parent), m_state(state), m_progress(progress), m_network(new QNetworkAccessManager(this)),
      m_download(new UpdateDownload(*m_network, this)), m_poll(new QTimer(this))
{
    connect(m_poll, &QTimer::timeout, this, &TOnlineUpdate::pollClosing);
    connect(m_download, &UpdateDownload::progress, this, [this](qint64 received, qint64 total) {
        if (m_step != Step::Setup || !m_progress)
            return;
        // The bar counts in kilobytes past 2 GiB so its int range holds any size.
        const int shift = qMax(total, received) > std::numeric_limits<int>::max() ? 10 : 0;
        m_progress->setMaximum(total > 0 ? int(total >> shift) : 0);
        m_progress->setValue(int(received >> shift));
    });
    connect(m_download, &UpdateDownload::finished, this, [this](qint32 result) {
        if (m_step == Step::Versions)
            versionsDownloaded(result);
        else if (m_step == Step::Setup)
            setupDownloaded(result);
    });
}

TOnlineUpdate::~TOnlineUpdate()
{
    // The window went away mid-check (closing ends the event loop before the poll sees it): the
    // wait ends here, and is logged as closing ends it.
    if (isRunning())
        abandon();
}

QString TOnlineUpdate::UpdateDirectory()
{
    const QString dir = AppPaths::settingsDir() + QLatin1String("update/");
    if (!QDir().mkpath(dir))
        return {};
    return dir;
}

bool TOnlineUpdate::AppendLog(const QString& logPath, const QString& text)
{
    QFile file(logPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    const QString line = locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                         locale.toString(now.time(), QLocale::LongFormat) + QStringLiteral("：") + text +
                         QLatin1String("\r\n");
    QStringEncoder encoder(QStringEncoder::System);
    const QByteArray bytes = encoder.encode(line);
    return file.write(bytes) == bytes.size() && file.flush();
}

bool TOnlineUpdate::isDottedVersion(const QString& version)
{
    static const QRegularExpression dotted(QStringLiteral("^[0-9]+(\\.[0-9]+)*$"));
    return dotted.match(version.trimmed()).hasMatch();
}

bool TOnlineUpdate::isSha256Hex(const QString& value)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    return hex.match(value.trimmed()).hasMatch();
}

int TOnlineUpdate::compareVersions(const QString& a, const QString& b)
{
    const QStringList left = a.trimmed().split(QLatin1Char('.'));
    const QStringList right = b.trimmed().split(QLatin1Char('.'));
    for (qsizetype i = 0; i < qMax(left.size(), right.size()); ++i) {
        QString x = i < left.size() ? left.at(i).trimmed() : QString();
        QString y = i < right.size() ? right.at(i).trimmed() : QString();
        if (x.isEmpty())
            x = QStringLiteral("0");
        if (y.isEmpty())
            y = QStringLiteral("0");
        const bool xNumber = isNumber(x);
        const bool yNumber = isNumber(y);
        int order = 0;
        if (xNumber && yNumber)
            order = compareNumbers(x, y);
        else if (xNumber != yNumber)
            order = xNumber ? -1 : 1;
        else
            order = x.compare(y);
        if (order != 0)
            return order < 0 ? -1 : 1;
    }
    return 0;
}

void TOnlineUpdate::log(const QString& text)
{
    if (!AppendLog(m_dir + kLogFile, text))
        m_logFailed = true;
}

void TOnlineUpdate::AcUpdateExecute()
{
    if (isRunning())
        return;
    m_step = Step::Versions;
    Q_EMIT runningChanged(true);
    Q_EMIT failureChanged(QString());
    CopyDataChannel::send(QStringLiteral("qx4100_TrayIcon"), QStringLiteral("Update"), TrayCommandTimeoutMs);

    m_dir = UpdateDirectory();
    if (m_dir.isEmpty()) {
        Messages::information(m_progress, ResStrs::text("U_UpdateDir_Error") + QLatin1Char(' ') +
                                              AppPaths::settingsDir() + QLatin1String("update/"));
        end();
        return;
    }
    m_logFailed = false;
    // Every step is logged, so a log that cannot be written ends the check before it begins.
    QFile logFile(m_dir + kLogFile);
    if (!logFile.open(QIODevice::WriteOnly | QIODevice::Append)) {
        Messages::information(m_progress, ResStrs::text("U_Log_Error") + QLatin1Char(' ') + m_dir + kLogFile);
        end();
        return;
    }
    logFile.close();
    startReadVersions();
}

void TOnlineUpdate::startReadVersions()
{
    m_clientVersion.clear();
    m_serverVersion.clear();
    m_setupAddress.clear();
    m_setupSha256.clear();
    const TIniFile client(m_dir + kClientConfig);
    if (!client.exists() || !client.isReadable()) {
        versionsRead(ClientFileMissing);
        return;
    }
    m_clientVersion = client.readString(QStringLiteral("Mgr"), QStringLiteral("Version"));
    const QString address = client.readString(QStringLiteral("URL"), QStringLiteral("VersionFile"));
    QFile::remove(m_dir + kServerConfig);
    m_download->start(QUrl(address), m_dir + kServerConfig, MaxVersionFileSize, m_state.timings.updateStall);
    m_poll->start(m_state.timings.updatePoll);
}

void TOnlineUpdate::versionsDownloaded(qint32 result)
{
    m_poll->stop();
    if (result != UpdateDownload::Ok || !QFile::exists(m_dir + kServerConfig)) {
        versionsRead(ServerFileMissing);
        return;
    }
    const TIniFile server(m_dir + kServerConfig);
    m_serverVersion = server.readString(QStringLiteral("Mgr"), QStringLiteral("Version"));
    m_setupAddress = server.readString(QStringLiteral("URL"), QStringLiteral("UpdateFile"));
    m_setupSha256 = server.readString(QStringLiteral("URL"), QStringLiteral("SHA256"));
    // A page that is no version file (an error page, a portal) names no version.
    versionsRead(m_serverVersion.trimmed().isEmpty() ? ServerFileMissing : VersionsRead);
}

void TOnlineUpdate::versionsRead(int result)
{
    if (result == ClientFileMissing)
        log(QStringLiteral("客户端配置文件不存在"));
    else if (result == ServerFileMissing)
        log(QStringLiteral("服务端版本更新失败"));
    if (result != VersionsRead) {
        Messages::information(m_progress, ResStrs::text("U_ConnServer_Error"));
        end();
        return;
    }
    log(QStringLiteral("Server Ver = %1  Client Ver = %2").arg(m_serverVersion, m_clientVersion));
    // Only dotted numbers can be ordered: "beta" or "-1" would otherwise pass for a newer version.
    // A checksum that is given must be one, or the check it asks for would silently not happen.
    const bool versionValid = isDottedVersion(m_serverVersion);
    if (!versionValid || (!m_setupSha256.trimmed().isEmpty() && !isSha256Hex(m_setupSha256))) {
        log(versionValid ? QStringLiteral("服务端SHA256值无效，不进行更新")
                         : QStringLiteral("服务端版本号无效，不进行更新"));
        Messages::information(m_progress, ResStrs::text("U_ServerConfig_Error"));
        Q_EMIT failureChanged(ResStrs::text("U_ServerConfig_Error"));
        end();
        return;
    }
    if (compareVersions(m_serverVersion, m_clientVersion) <= 0) {
        Messages::information(m_progress, ResStrs::text("U_NewVersion"));
        log(QStringLiteral("未检测到新版本"));
        end();
        return;
    }
    log(QStringLiteral("服务器版本高于客户端版本"));
    if (!Messages::question(m_progress, ResStrs::text("Update_Info"), true)) {
        log(QStringLiteral("放弃更新"));
        end();
        return;
    }
    log(QStringLiteral("开始更新..."));
    m_step = Step::Setup;
    if (m_progress) {
        m_progress->setValue(0);
        m_progress->show();
    }
    m_download->start(QUrl(m_setupAddress), m_dir + kSetupProgram, m_maxSetupSize,
                      m_state.timings.updateStall, m_setupSha256);
    m_poll->start(m_state.timings.updatePoll);
}

void TOnlineUpdate::pollClosing()
{
    if (!m_state.closing)
        return;
    abandon();
    end();
}

void TOnlineUpdate::abandon()
{
    m_poll->stop();
    const Step step = m_step;
    m_step = Step::Idle;
    m_download->abort();
    if (step == Step::Setup)
        log(QStringLiteral("失败更新，返回值 = %1").arg(qint32(UpdateDownload::StillActive)));
    else
        log(QStringLiteral("服务端版本更新失败"));
}

QString TOnlineUpdate::failureReason(qint32 result) const
{
    switch (result) {
    case UpdateDownload::BadAddress:
        return ResStrs::text("U_Down_BadAddress");
    case UpdateDownload::WriteFailed:
        return ResStrs::text("U_Down_WriteFailed");
    case UpdateDownload::TooLarge:
        return ResStrs::format("U_Down_TooLarge", (m_maxSetupSize + 1024 * 1024 - 1) / (1024 * 1024));
    case UpdateDownload::Empty:
        return ResStrs::text("U_Down_Empty");
    case UpdateDownload::ChecksumMismatch:
        return ResStrs::text("U_Checksum_Error");
    case UpdateDownload::Stalled:
        return ResStrs::text("U_Down_Stalled");
    case UpdateDownload::CutOff:
        return ResStrs::text("U_Down_CutOff");
    default:
        break;
    }
    if (result <= UpdateDownload::NetworkErrorBase)
        return ResStrs::text("U_Down_Network") + m_download->errorString();
    return ResStrs::format("U_Down_Http", -qint64(result));
}

void TOnlineUpdate::setupDownloaded(qint32 result)
{
    m_poll->stop();
    if (result != UpdateDownload::Ok) {
        // The reason goes to the log and onto the page; only a checksum failure also asks for
        // attention in a box, since a file was fetched and then deleted.
        const QString reason = failureReason(result);
        log(reason);
        log(QStringLiteral("失败更新，返回值 = %1").arg(result));
        Q_EMIT failureChanged(ResStrs::text("U_Down_Failed") + reason);
        if (result == UpdateDownload::ChecksumMismatch)
            Messages::information(m_progress, ResStrs::text("U_Checksum_Error"));
        end();
        return;
    }
    const QString setup = m_dir + kSetupProgram;
    QFile::setPermissions(setup,
                          QFile::permissions(setup) | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    if (Messages::question(m_progress, ResStrs::text("Update_Down_OK"), true))
        ShellOpen::instance().open(setup, QStringLiteral("/upgrade"));
    else
        log(QStringLiteral("放弃安装"));
    end();
}

void TOnlineUpdate::end()
{
    m_poll->stop();
    m_step = Step::Idle;
    Q_EMIT runningChanged(false);
}
