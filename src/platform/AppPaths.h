// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>

// The two directories everything else is relative to.
namespace AppPaths {

// Where the tool's own files are for an executable in a given directory.
//   build folder: everything beside the executable (Languages/, res/, the libraries, Initconfig.ini);
//   installed:    the executable in <prefix>/bin, Languages/, res/ and Initconfig.ini in
//                 <prefix>/share/qx4100/, the libraries in the tool's own library folder.
// The installed layout is recognised by its data or library folder next to the executable's folder,
// so a build-folder run and an installation side by side each find their own files.
struct Dirs
{
    QString data;    // with a trailing separator
    QString library; // with a trailing separator
    bool installed = false;
};
Dirs dirsForExecutableDir(const QString& executableDir);

// The data directory of the running executable (see Dirs), with a trailing separator.
QString applicationDir();
// The folder of the tool's libraries (the SKF library among them), with a trailing separator.
QString libraryDir();
// Tests give each run its own application directory; it serves as both directories.
void setApplicationDir(const QString& dir);

// "$APPDATA/Vostrel/QX4100/" (XDG config home when APPDATA is unset), created with its parents
// when missing; a failure to create it is ignored.
QString settingsDir();

// A defaults file the tool reads and writes back (Initconfig.ini): the user's own copy in the
// settings directory when there is one, otherwise the shipped one in the application directory.
// Writing always goes to settingsDir() + name: an installed tool's folders belong to the system.
QString defaultsFileForReading(const QString& name);

} // namespace AppPaths
