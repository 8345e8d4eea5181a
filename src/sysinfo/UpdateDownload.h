// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;

class QSaveFile;
class QTimer;

// One download of the online update into a file. The data goes to a temporary name beside the
// target, which takes the target's name only when the transfer is complete (and matches the
// expected SHA-256 when one is given), so a failed or cut-off download never leaves a file that
// looks whole. The result is 0 or a negative code, as the update log shows it.
class UpdateDownload : public QObject
{
    Q_OBJECT
public:
    enum Result : qint32
    {
        Ok = 0,
        // A running download that was abandoned: the code of a thread still running.
        StillActive = 259,
        BadAddress = -1,
        WriteFailed = -2,
        TooLarge = -3,
        Empty = -4,
        ChecksumMismatch = -5,
        Stalled = -6,
        CutOff = -7,
        // Network failures are reported as -1000 minus Qt's error code, HTTP failures as minus the
        // status code (404 gives -404).
        NetworkErrorBase = -1000
    };

    UpdateDownload(QNetworkAccessManager& network, QObject* parent = nullptr);
    ~UpdateDownload() override;

    // `maxBytes` 0 means no limit; more is never read, and a larger declared length fails at once.
    // The data goes to the file as it arrives. `sha256Hex` empty means no check.
    void start(const QUrl& url, const QString& target, qint64 maxBytes, int stallMs,
               const QString& sha256Hex = {});
    // Stops a running download; the temporary file is removed and finished() is not emitted.
    void abort();
    bool isRunning() const { return m_reply != nullptr; }
    // The network's own words for the last NetworkErrorBase result; empty otherwise.
    QString errorString() const { return m_errorString; }

    static bool isDownloadAddress(const QUrl& url);

Q_SIGNALS:
    void progress(qint64 received, qint64 total);
    void finished(qint32 result);

private:
    void onReadyRead();
    void onFinished();
    void finish(qint32 result);
    void cleanUp();

    QNetworkAccessManager& m_network;
    QPointer<QNetworkReply> m_reply;
    std::unique_ptr<QSaveFile> m_file;
    QTimer* m_stallTimer;
    QString m_target;
    QString m_errorString;
    QByteArray m_sha256;
    QCryptographicHash m_hash;
    qint64 m_maxBytes = 0;
    qint64 m_received = 0;
    qint32 m_failure = Ok;
};
