#pragma once

#include <QString>

// The two directories everything else is relative to.
namespace AppPaths {

// Directory of the executable, with a trailing separator.
QString applicationDir();
// Tests give each run its own application directory.
void setApplicationDir(const QString& dir);

// "$APPDATA/Vostrel/QX4100/" (XDG config home when APPDATA is unset), created with its parents
// when missing; a failure to create it is ignored.
QString settingsDir();

} // namespace AppPaths
