// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// The stand-in for a window class name and its copy-data messages: a per-user local socket named
// after the class. A message is a UTF-16 string with its terminating zero; the receiver handles it
// at once and answers with a 32-bit result (always 0), which the sender waits for.
class CopyDataChannel : public QObject
{
    Q_OBJECT
public:
    // Longest message accepted, in characters; a longer one ends the connection unhandled.
    static constexpr int MaxMessageChars = 4096;

    explicit CopyDataChannel(QObject* parent = nullptr);
    ~CopyDataChannel() override;

    // Starts receiving under `name`; a socket left behind by a process that is gone is replaced.
    bool listen(const QString& name);
    bool isListening() const;

    // The socket path for a name: in the user's runtime directory.
    static QString socketPath(const QString& name);

    // Sends one message and waits up to `timeoutMs` for the receiver's answer. False when nobody
    // listens under `name` or no answer came.
    static bool send(const QString& name, const QString& message, int timeoutMs = 2000);

Q_SIGNALS:
    // Emitted for every message received, without its terminating zero.
    void received(const QString& message);

private:
    void onNewConnection();
    void onReadyRead(QLocalSocket* socket);

    QLocalServer* m_server;
};
