// SPDX-License-Identifier: BSD-3-Clause
// Feeds arbitrary bytes to the initialization-file reader and writer, the catalog loader and the
// catalog's number formatting.
// Besides not crashing, a value written must read back as written, whatever else the file holds.
#include "i18n/ResStrs.h"
#include "platform/TIniFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.ini"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(bytes);
    }

    const TIniFile ini(path);
    for (const QString& key : ini.keys(QStringLiteral("Caption"))) {
        if (ini.readString(QStringLiteral("Caption"), key).size() > TIniFile::MaxValueLength)
            std::abort();
        ini.readInt(QStringLiteral("Caption"), key, 0);
    }
    ResStrs::load(path);
    // Loaded texts are format patterns too: every one must format without harm.
    for (const QString& key : ResStrs::textKeys())
        ResStrs::format(key.toLatin1().constData(), -1);
    ResStrs::formatText(QString::fromUtf8(bytes), 0x0A000025);
    ResStrs::resetToDefaults();

    // A short value taken from the input, without line breaks (those are refused by design).
    QString value = QString::fromLatin1(bytes.left(40));
    value.remove(QLatin1Char('\n'));
    value.remove(QLatin1Char('\r'));
    TIniFile writer(path);
    if (writer.isReadable()) {
        if (!writer.writeString(QStringLiteral("Caption"), QStringLiteral("Fuzz_Key"), value))
            std::abort();
        if (TIniFile(path).readString(QStringLiteral("Caption"), QStringLiteral("Fuzz_Key")) != value)
            std::abort();
    }
    return 0;
}
