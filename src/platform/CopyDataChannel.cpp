// SPDX-License-Identifier: BSD-3-Clause
#include "CopyDataChannel.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QtEndian>

namespace {
const char* const kBuffer = "qx_pending";
}

CopyDataChannel::CopyDataChannel(QObject* parent) : QObject(parent), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &CopyDataChannel::onNewConnection);
}

CopyDataChannel::~CopyDataChannel() = default;

QString CopyDataChannel::socketPath(const QString& name)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QLatin1Char('/') + name;
}

bool CopyDataChannel::listen(const QString& name)
{
    const QString path = socketPath(name);
    if (m_server->listen(path))
        return true;
    // Our caller owns the name (the single-instance slot says so); what is left is a dead socket.
    QLocalServer::removeServer(path);
    return m_server->listen(path);
}

bool CopyDataChannel::isListening() const
{
    return m_server->isListening();
}

bool CopyDataChannel::send(const QString& name, const QString& message, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath(name));
    if (!socket.waitForConnected(timeoutMs))
        return false;
    // UTF-16, little-endian whatever the host, with the terminating zero.
    QByteArray payload((message.size() + 1) * 2, '\0');
    for (qsizetype i = 0; i < message.size(); ++i)
        qToLittleEndian<char16_t>(message.at(i).unicode(), payload.data() + 2 * i);
    socket.write(payload);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (socket.bytesAvailable() < 4) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    socket.disconnectFromServer();
    return true;
}

void CopyDataChannel::onNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void CopyDataChannel::onReadyRead(QLocalSocket* socket)
{
    QByteArray pending = socket->property(kBuffer).toByteArray() + socket->readAll();
    for (;;) {
        qsizetype end = -1;
        for (qsizetype i = 0; i + 1 < pending.size(); i += 2) {
            if (pending.at(i) == '\0' && pending.at(i + 1) == '\0') {
                end = i;
                break;
            }
        }
        if (end < 0)
            break;
        QString message(end / 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < end / 2; ++i)
            message[i] = QChar(qFromLittleEndian<char16_t>(pending.constData() + 2 * i));
        pending.remove(0, end + 2);
        QPointer<QLocalSocket> alive(socket);
        Q_EMIT received(message);
        if (!alive)
            return;
        static const char result[4] = {0, 0, 0, 0};
        socket->write(result, sizeof result);
        socket->flush();
    }
    if (pending.size() > 2 * (MaxMessageChars + 1)) {
        socket->abort();
        return;
    }
    socket->setProperty(kBuffer, pending);
}
