// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QString>

// A NUL-terminated narrow buffer for a PIN, password or a record holding them; its bytes are
// overwritten with zeros when it goes out of scope, so no copy of the secret outlives the call.
class SecretBuffer
{
public:
    // The text in the system code page.
    explicit SecretBuffer(const QString& text);
    // A zero-filled buffer of the given size.
    explicit SecretBuffer(qsizetype size);
    ~SecretBuffer();

    SecretBuffer(const SecretBuffer&) = delete;
    SecretBuffer& operator=(const SecretBuffer&) = delete;

    char* data() { return m_bytes.data(); }
    const char* constData() const { return m_bytes.constData(); }
    qsizetype size() const { return m_bytes.size(); }

    // Wipes a byte array in place (the array must not be shared).
    static void wipe(QByteArray& bytes);

private:
    QByteArray m_bytes;
};
