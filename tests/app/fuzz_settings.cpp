// SPDX-License-Identifier: BSD-3-Clause
// Feeds arbitrary bytes to the settings reader as the content of MgrConfig.ini.
#include "settings/SettingsFile.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TConfigInfo config;
    SettingsFile::parse(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
                        config);
    return 0;
}
