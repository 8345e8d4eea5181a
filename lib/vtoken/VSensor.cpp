// SPDX-License-Identifier: BSD-3-Clause
#include "VSensor.h"

#include "VFileLock.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QSaveFile>

struct VSensor::State
{
    bool automatic = false;
    QList<int> placed;
};

namespace {
constexpr int LockTimeoutMs = 2000;
}

VSensor::VSensor(const QString& storeFolder, const QString& serial)
    : m_path(storeFolder + QLatin1Char('/') + serial + QStringLiteral(".sensor"))
{
}

VSensor::State VSensor::read() const
{
    State s;
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return s;
    const QJsonObject o = QJsonDocument::fromJson(f.read(64 * 1024)).object();
    s.automatic = o.value(QLatin1String("automatic")).toBool();
    for (const QJsonValue& v : o.value(QLatin1String("placed")).toArray()) {
        if (s.placed.size() < MaxQueued)
            s.placed.append(v.toInt());
    }
    return s;
}

bool VSensor::change(const std::function<bool(State&)>& edit)
{
    VFileLock lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(LockTimeoutMs))
        return false;
    State s = read();
    if (!edit(s))
        return true;
    QJsonArray placed;
    for (int finger : s.placed)
        placed.append(finger);
    QJsonObject o;
    o[QLatin1String("automatic")] = s.automatic;
    o[QLatin1String("placed")] = placed;
    QSaveFile f(m_path);
    // Owner-only, as everything in the token store.
    if (!f.open(QIODevice::WriteOnly) || !f.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        return false;
    f.write(QJsonDocument(o).toJson(QJsonDocument::Compact));
    return f.commit();
}

bool VSensor::place(int finger)
{
    bool full = false;
    const bool written = change([&](State& s) {
        full = s.placed.size() >= MaxQueued;
        if (!full)
            s.placed.append(finger);
        return !full;
    });
    return written && !full;
}

bool VSensor::setAutomatic(bool on)
{
    return change([&](State& s) {
        s.automatic = on;
        return true;
    });
}

bool VSensor::automatic() const
{
    return read().automatic;
}

std::optional<int> VSensor::take()
{
    // Most polls find nothing waiting; they need neither the lock nor a write.
    if (read().placed.isEmpty())
        return std::nullopt;
    std::optional<int> finger;
    change([&](State& s) {
        if (s.placed.isEmpty())
            return false;
        finger = s.placed.takeFirst();
        return true;
    });
    return finger;
}

bool VSensor::clear()
{
    return change([](State& s) {
        const bool had = !s.placed.isEmpty();
        s.placed.clear();
        return had;
    });
}
