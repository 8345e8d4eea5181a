// SPDX-License-Identifier: BSD-3-Clause
#include "token/SecretBuffer.h"

#include "token/AnsiText.h"

SecretBuffer::SecretBuffer(const QString& text) : m_bytes(AnsiText::encode(text)) {}

SecretBuffer::SecretBuffer(qsizetype size) : m_bytes(size, '\0') {}

SecretBuffer::~SecretBuffer()
{
    wipe(m_bytes);
}

void SecretBuffer::wipe(QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    // volatile keeps the compiler from dropping stores to memory that is about to be freed
    volatile char* p = bytes.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        p[i] = 0;
}
