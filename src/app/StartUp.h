// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "platform/TTimings.h"
#include "ui/TStartOptions.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Small steps of the start-up sequence, kept apart from main() so that they can be tested.
namespace StartUp {

// The name the main window is found by (its local socket).
inline constexpr const char* WindowClassName = "TQX4100_Mgr";

// The language file for the identifier read from the settings: Languages/EN_1033.lng for 1033,
// Languages/CHS_2052.lng for every other identifier.
QString languageFilePath(int languageId);

// What the command line means: run the window with `options`, or print `output` and end with
// `exitCode` (help, version, a misspelt option). Works before any application object exists, so
// that --help and --version need no display.
struct CommandLine
{
    bool run = true;
    int exitCode = 0;
    QString output;
    TStartOptions options;
};
CommandLine parseCommandLine(const QStringList& arguments);

// Qt's own texts (standard buttons, file dialogs) in the tool's language: Chinese for every
// identifier but 1033. True when a translation was installed; English needs none.
bool loadQtTranslations(int languageId);

// Reads the language identifier from the settings directory's MgrConfig.ini (0 when that fails)
// and loads the matching language file (a missing file keeps the built-in texts) and Qt's own
// translations for it.
int loadLanguage();

// Asks the instance with id `id` to restore its window. An instance that is still starting may not
// listen yet, so this retries for a while as long as its process is there.
bool restoreRunningInstance(quint32 id, const TTimings& timings = {});

} // namespace StartUp
