// SPDX-License-Identifier: BSD-3-Clause
#include "TInitDefaults.h"

#include "platform/AppPaths.h"
#include "platform/TIniFile.h"
#include "token/SecretBuffer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#include <cstring>
#include <utility>

namespace {
const QString kSection = QStringLiteral("InitData");

// The longest prefix of `text` that encodes into at most `capacity` bytes.
QByteArray encodedPrefix(const QString& text, qsizetype capacity, bool utf8)
{
    QString part = text;
    for (;;) {
        QByteArray bytes;
        if (utf8) {
            bytes = part.toUtf8();
        } else {
            QStringEncoder encoder(QStringEncoder::System);
            bytes = encoder.encode(part);
        }
        if (bytes.size() <= capacity)
            return bytes;
        SecretBuffer::wipe(bytes);
        part.chop(part.size() >= 2 && part.at(part.size() - 1).isLowSurrogate() ? 2 : 1);
    }
}

void put(QByteArray& record, int offset, const QString& text, bool utf8,
         qsizetype capacity = TInitDefaults::TextField)
{
    QByteArray bytes = encodedPrefix(text, capacity, utf8);
    std::memcpy(record.data() + offset, bytes.constData(), size_t(bytes.size()));
    SecretBuffer::wipe(bytes);
}

bool folderWritable(const QString& dir)
{
    const QFileInfo info(dir);
    return info.isDir() && info.isWritable();
}
} // namespace

QString TInitDefaults::readPath()
{
    const QString appDir = AppPaths::applicationDir();
    if (!folderWritable(appDir)) {
        const QString settingsCopy = AppPaths::settingsDir() + QLatin1String(FileName);
        if (QFileInfo::exists(settingsCopy))
            return settingsCopy;
    }
    return appDir + QLatin1String(FileName);
}

QString TInitDefaults::writePath()
{
    const QString appDir = AppPaths::applicationDir();
    return (folderWritable(appDir) ? appDir : AppPaths::settingsDir()) + QLatin1String(FileName);
}

bool TInitDefaults::read(const QString& path)
{
    const TIniFile ini(path);
    if (!ini.exists() || !ini.isReadable())
        return false;
    auto text = [&](const char* key) { return ini.readString(kSection, QLatin1String(key)); };
    auto number = [&](const char* key, int def) { return ini.readInt(kSection, QLatin1String(key), def); };
    LabelName = text("LabelName");
    manufacture = text("manufacture");
    Issuer = text("Issuer");
    default_sopin = text("default_sopin");
    default_upin = text("default_upin");
    uPinRetryTimes = number("uPinRetryTimes", 10);
    soPinRetryTimes = number("soPinRetryTimes", 10);
    minUPINLen = number("minUPINLen", 4);
    maxUPINLen = number("maxUPINLen", 32);
    minSOPINLen = number("minSOPINLen", 4);
    maxSOPINLen = number("maxSOPINLen", 32);
    ISOFile = text("ISOFile");
    F_AdminRetryTimes = number("F_AdminRetryTimes", 10);
    F_AdminLevel = number("F_AdminLevel", 1);
    F_UserRetryTimes = number("F_UserRetryTimes", 10);
    F_UserLevel = number("F_UserLevel", 1);
    return true;
}

bool TInitDefaults::write(const QString& path) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    auto n = [](qint32 v) { return QString::number(v); };
    const QList<std::pair<QString, QString>> values = {
        {QStringLiteral("LabelName"), LabelName},
        {QStringLiteral("manufacture"), manufacture},
        {QStringLiteral("Issuer"), Issuer},
        {QStringLiteral("default_sopin"), default_sopin},
        {QStringLiteral("default_upin"), default_upin},
        {QStringLiteral("uPinRetryTimes"), n(uPinRetryTimes)},
        {QStringLiteral("soPinRetryTimes"), n(soPinRetryTimes)},
        {QStringLiteral("minUPINLen"), n(minUPINLen)},
        {QStringLiteral("maxUPINLen"), n(maxUPINLen)},
        {QStringLiteral("minSOPINLen"), n(minSOPINLen)},
        {QStringLiteral("maxSOPINLen"), n(maxSOPINLen)},
        {QStringLiteral("ISOFile"), ISOFile},
        {QStringLiteral("F_AdminRetryTimes"), n(F_AdminRetryTimes)},
        {QStringLiteral("F_AdminLevel"), n(F_AdminLevel)},
        {QStringLiteral("F_UserRetryTimes"), n(F_UserRetryTimes)},
        {QStringLiteral("F_UserLevel"), n(F_UserLevel)},
    };
    // Saved owner-only through a temporary file in the folder itself, never through a link.
    TIniFile ini(path);
    return ini.writeStrings(kSection, values);
}

QByteArray TInitDefaults::formatRecord() const
{
    QByteArray record(RecordSize, '\0');
    put(record, 0, LabelName, true, MaxLabelBytes);
    put(record, 32, manufacture, false);
    put(record, 64, Issuer, false);
    put(record, 96, default_sopin, false);
    put(record, 128, default_upin, false);
    const qint32 counts[] = {uPinRetryTimes, soPinRetryTimes, minUPINLen,
                             maxUPINLen,     minSOPINLen,     maxSOPINLen};
    for (int i = 0; i < 6; ++i)
        record[160 + i] = char(counts[i] & 0xFF);
    return record;
}
