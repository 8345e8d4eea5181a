// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QFile>
#include <QLibrary>
#include <QString>

#include <cstdint>

// Test-side handle on the scriptable SKF library: installs a copy of it in an application
// directory under the name the binding loads, and reaches its FakeSkf_* controls. The binding and
// this handle share one loaded copy, so scripts and logs are seen by both.
class FakeSkf
{
public:
    // `libraryFile` is the built fake; it is copied to `applicationDir` + `asName`.
    FakeSkf(const QString& libraryFile, const QString& applicationDir,
            const QString& asName = QStringLiteral("zkeyra_qx4100.so"))
        : m_lib(applicationDir + asName)
    {
        QFile::copy(libraryFile, applicationDir + asName);
        if (m_lib.load())
            reset();
    }
    bool isLoaded() const { return m_lib.isLoaded(); }

    void reset() { fn<void (*)()>("FakeSkf_Reset")(); }
    // The status `function` returns when nothing is queued for it.
    void setStatus(const char* function, uint32_t status)
    {
        fn<void (*)(const char*, uint32_t)>("FakeSkf_SetStatus")(function, status);
    }
    // The next call of `function` returns `status` and writes `out` to its output value.
    void push(const char* function, uint32_t status, uint32_t out = 0)
    {
        fn<void (*)(const char*, uint32_t, uint32_t)>("FakeSkf_Push")(function, status, out);
    }
    // Raw bytes an enumeration copies into the caller's buffer and the size it reports.
    void setList(const QByteArray& key, const QByteArray& bytes, uint32_t reportedSize)
    {
        fn<void (*)(const char*, const char*, uint32_t, uint32_t)>("FakeSkf_SetList")(
            key.constData(), bytes.constData(), uint32_t(bytes.size()), reportedSize);
    }
    void setList(const QByteArray& key, const QByteArray& bytes)
    {
        setList(key, bytes, uint32_t(bytes.size()));
    }
    void setFingers(uint32_t retries, const QByteArray& ids, uint32_t reportedCount)
    {
        fn<void (*)(uint32_t, const uint8_t*, uint32_t, uint32_t)>("FakeSkf_SetFingers")(
            retries, reinterpret_cast<const uint8_t*>(ids.constData()), uint32_t(ids.size()), reportedCount);
    }
    // Every call so far, one "SKF_Name(arguments)" line each.
    QString log() { return QString::fromUtf8(fn<const char* (*)()>("FakeSkf_Log")()); }
    // "device" or "device/application" for a handle the fake gave out; "null" for none.
    QString handleName(void* handle)
    {
        return QString::fromUtf8(fn<const char* (*)(void*)>("FakeSkf_HandleName")(handle));
    }

private:
    template <typename F> F fn(const char* name) { return reinterpret_cast<F>(m_lib.resolve(name)); }

    QLibrary m_lib;
};
