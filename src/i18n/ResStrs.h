// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>
#include <QStringList>

// The program-wide catalog of visible texts. Every entry has a built-in Simplified Chinese text that
// stays until a language file is loaded; a loaded file replaces every entry (a key the file lacks
// becomes a single space or an empty text, as the catalog table says). Besides texts the catalog
// holds four switches that decide which certificate actions the main window offers.
//
// Texts are read far more often than loaded: reads are a hash lookup, and the returned reference
// stays valid for the life of the process.
namespace ResStrs {

// The text of a catalog key. An unknown key is a programming error: it asserts in debug builds and
// gives an empty text otherwise.
const QString& text(const char* key);

// The value of a switch (`config_Cert_Del`, `config_Cert_Input`, `config_Cert_Output`,
// `config_Cont_Del`); an unknown key asserts in debug builds and gives 0 otherwise.
int switchValue(const char* key);
// A switch turns its action on when its low 8 bits are not zero.
bool switchOn(const char* key);

// A catalog text with its one number put in, as the Windows tool's Format did: the first %d, %i,
// %u, %x or %X (with optional '-' and '0' flags, width and precision) takes `value`; %u and the
// upper-case hexadecimal show its 32-bit pattern; "%%" is a percent sign. A language file is outside
// input, so anything else (a second conversion, %s, %n, a lone '%') stays as literal text instead
// of reaching a printf-style formatter.
QString format(const char* key, qint64 value);
QString formatText(const QString& pattern, qint64 value);

// Loads the section `Caption` of a language file. A missing (or unreadable) file changes nothing.
void load(const QString& path);
// Puts every entry back to its built-in value, as if no language file had been loaded.
void resetToDefaults();

// The file name below "Languages/" for a Windows language identifier: 1033 is English, every other
// identifier Simplified Chinese.
QString languageFileName(int languageId);

bool hasKey(const char* key);
// Every text key, then every switch key, in catalog order.
QStringList textKeys();
QStringList switchKeys();
QStringList allKeys();
// The built-in text of a key (what text() gives before any language file is loaded).
QString builtInText(const char* key);

} // namespace ResStrs
