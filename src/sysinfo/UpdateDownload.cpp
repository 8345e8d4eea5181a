// SPDX-License-Identifier: BSD-3-Clause
#include "UpdateDownload.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QTimer>

namespace {
// Redirect chains longer than this fail instead of looping.
constexpr int MaxRedirects = 10;
// What the network side may hold before it stops reading: a server sending faster than the file
// takes the data waits instead of filling memory.
constexpr qint64 ReadBufferBytes = 256 * 1024;
} // namespace

UpdateDownload::UpdateDownload(QNetworkAccessManager& network, QObject* parent)
    : QObject(parent), m_network(network), m_stallTimer(new QTimer(this)), m_hash(QCryptographicHash::Sha256)
{
    m_stallTimer->setSingleShot(true);
    connect(m_stallTimer, &QTimer::timeout, this, [this] {
        m_failure = Stalled;
        if (m_reply)
            m_reply->abort();
    });
}

UpdateDownload::~UpdateDownload()
{
    abort();
}

bool UpdateDownload::isDownloadAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

void UpdateDownload::start(const QUrl& url, const QString& target, qint64 maxBytes, int stallMs,
                           const QString& sha256Hex)
{
    abort();
    m_target = target;
    m_maxBytes = maxBytes;
    m_received = 0;
    m_failure = Ok;
    m_errorString.clear();
    m_sha256 = QByteArray::fromHex(sha256Hex.trimmed().toLatin1());
    m_hash.reset();
    if (!isDownloadAddress(url)) {
        QTimer::singleShot(0, this, [this] { Q_EMIT finished(BadAddress); });
        return;
    }
    // The data is written under a temporary name and only committed when it is complete. A link in
    // the target's place goes first: the save would otherwise write wherever it points.
    if (QFileInfo(target).isSymLink())
        QFile::remove(target);
    m_file = std::make_unique<QSaveFile>(target);
    if (!m_file->open(QIODevice::WriteOnly)) {
        m_file.reset();
        QTimer::singleShot(0, this, [this] { Q_EMIT finished(WriteFailed); });
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    m_reply = m_network.get(request);
    m_stallTimer->setInterval(stallMs);
    m_stallTimer->start();
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        // Set once the response has begun: the network thread ignores a limit set before it has
        // a reply of its own to hold back.
        m_reply->setReadBufferSize(ReadBufferBytes);
        // A declared length past the limit fails before its first byte is read.
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (m_maxBytes > 0 && length.isValid() && length.toLongLong() > m_maxBytes && m_failure == Ok) {
            m_failure = TooLarge;
            m_reply->abort();
        }
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &UpdateDownload::onReadyRead);
    connect(m_reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        m_stallTimer->start();
        Q_EMIT progress(received, total);
    });
    connect(m_reply, &QNetworkReply::finished, this, &UpdateDownload::onFinished);
}

void UpdateDownload::onReadyRead()
{
    m_stallTimer->start();
    while (m_failure == Ok && m_reply->bytesAvailable() > 0) {
        // Never more than one byte past the limit is taken, whatever the network side holds.
        const qint64 room = m_maxBytes > 0 ? m_maxBytes - m_received + 1 : ReadBufferBytes;
        const QByteArray chunk = m_reply->read(qMin(room, ReadBufferBytes));
        m_received += chunk.size();
        if (m_maxBytes > 0 && m_received > m_maxBytes) {
            m_failure = TooLarge;
            m_reply->abort();
            return;
        }
        m_hash.addData(chunk);
        if (m_file->write(chunk) != chunk.size()) {
            m_failure = WriteFailed;
            m_reply->abort();
            return;
        }
    }
}

void UpdateDownload::onFinished()
{
    m_stallTimer->stop();
    QNetworkReply* reply = m_reply;
    if (m_failure == Ok && reply->bytesAvailable() > 0)
        onReadyRead();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    qint32 result = m_failure;
    if (result == Ok && status >= 400)
        result = -status;
    else if (result == Ok && reply->error() != QNetworkReply::NoError) {
        result = NetworkErrorBase - qint32(reply->error());
        m_errorString = reply->errorString();
    } else if (result == Ok && length.isValid() && length.toLongLong() != m_received)
        result = CutOff;
    else if (result == Ok && m_maxBytes > 0 && length.isValid() && length.toLongLong() > m_maxBytes)
        result = TooLarge;
    else if (result == Ok && m_received == 0)
        result = Empty;
    finish(result);
}

void UpdateDownload::finish(qint32 result)
{
    // A file that is not what the server's checksum promises never takes the target's name.
    if (result == Ok && !m_sha256.isEmpty() && m_hash.result() != m_sha256)
        result = ChecksumMismatch;
    if (result == Ok && !m_file->commit())
        result = WriteFailed;
    cleanUp();
    Q_EMIT finished(result);
}

void UpdateDownload::cleanUp()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    // An uncommitted save file discards its temporary file.
    if (m_file && m_file->isOpen())
        m_file->cancelWriting();
    m_file.reset();
}

void UpdateDownload::abort()
{
    m_stallTimer->stop();
    cleanUp();
}
