// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "settings/TConfigInfo.h"

#include <QByteArray>
#include <QString>

// MgrConfig.ini: despite its name a Base64 encoding of a small XML document
//   <any><BaseInfo>
//     <OpenURL OpenMode=".." URL=".." BrowserMode=".."/>
//     <CertEndDay CertDayMode=".." CertDay=".."/>
//     <LanguageID>..</LanguageID><DefaultPIN>..</DefaultPIN>
//   </BaseInfo></any>
// The fields are read in record order and each is stored as soon as it is read; the first field
// that is missing or not an integer stops the reading, keeping what was read before it.
namespace SettingsFile {

// The file's name in the settings directory.
inline constexpr const char* FileName = "MgrConfig.ini";
// Larger files are not settings files; they are refused unread.
inline constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

// Reads the file at `path` into `config`. True when all seven fields were read; false when the file
// is missing (the record is untouched), unreadable, not Base64, not XML, or a field stopped the
// reading.
bool read(const QString& path, TConfigInfo& config);
// The same for the file's raw bytes.
bool parse(const QByteArray& fileContent, TConfigInfo& config);

// The LanguageID of the file at `path`, or 0 when reading fails anywhere.
int readLanguageId(const QString& path);

// The catalog's PROVIDER_NAME when a p11-kit module configuration named after it exists (user or
// system "pkcs11/modules" folder), otherwise an empty string.
QString installedProvider();

} // namespace SettingsFile
