// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QProgressBar;
class QTimer;
class UpdateDownload;
struct TProgramState;

// The online update of the system page: compares the installed version with the server's, and on
// the user's word downloads the new setup program and starts it. Every step is logged to Logs.txt
// in the update directory. The window stays responsive throughout: each step runs when its
// download reports back, and a poll ends the wait when the main window closes.
class TOnlineUpdate : public QObject
{
    Q_OBJECT
public:
    // What ReadVersions reports.
    enum VersionsResult
    {
        VersionsRead = 0,
        ClientFileMissing = 2,
        ServerFileMissing = 3
    };

    // Larger version files are refused as they arrive: a real one is a few lines.
    static constexpr qint64 MaxVersionFileSize = 1024 * 1024;
    // A larger setup program is refused as it arrives (the real one is a few tens of megabytes).
    static constexpr qint64 MaxSetupSize = 512LL * 1024 * 1024;

    TOnlineUpdate(TProgramState& state, QProgressBar* progress, QObject* parent = nullptr);
    ~TOnlineUpdate() override;

    void AcUpdateExecute();
    bool isRunning() const { return m_step != Step::Idle; }
    // Tests lower the setup program's limit so that passing it needs no half-gigabyte download.
    void setMaxSetupSize(qint64 bytes) { m_maxSetupSize = bytes; }

    // "$APPDATA/Vostrel/QX4100/update/", created with its parents; empty when it cannot be made.
    static QString UpdateDirectory();
    static bool AppendLog(const QString& logPath, const QString& text);
    // Dotted versions compared part by part as numbers; a part that is not a number compares as
    // text after every number. Missing parts count as 0. Negative, zero or positive like strcmp.
    static int compareVersions(const QString& a, const QString& b);
    // Decimal numbers joined by single dots ("2.2.18"), blanks around it allowed.
    static bool isDottedVersion(const QString& version);
    // Exactly 64 hexadecimal digits, blanks around it allowed.
    static bool isSha256Hex(const QString& value);

Q_SIGNALS:
    void runningChanged(bool running);
    // Why the last check failed, for the page to show beside its progress bar; empty when a check
    // starts.
    void failureChanged(const QString& reason);

private:
    enum class Step
    {
        Idle,
        Versions,
        Setup
    };

    void startReadVersions();
    void versionsDownloaded(qint32 result);
    void versionsRead(int result);
    void setupDownloaded(qint32 result);
    void pollClosing();
    void abandon();
    QString failureReason(qint32 result) const;
    void log(const QString& text);
    void end();

    TProgramState& m_state;
    QProgressBar* m_progress;
    QNetworkAccessManager* m_network;
    UpdateDownload* m_download;
    QTimer* m_poll;
    Step m_step = Step::Idle;
    QString m_dir;
    bool m_logFailed = false;
    QString m_clientVersion;
    QString m_serverVersion;
    QString m_setupAddress;
    QString m_setupSha256;
    qint64 m_maxSetupSize = MaxSetupSize;
};
