// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>

// Arrival and removal notices of virtual tokens: one line per notice appended to a file in the
// store folder, which every watching process reads from where it left off. The file is the store's
// interface for notices, read by processes that do not link the store: "notices.log", UTF-8, each
// line "arrived <device path>" or "removed <device path>" ended by a line feed.
class VTokenNotices
{
public:
    enum class Kind
    {
        Arrived,
        Removed
    };

    static QString noticesPath(const QString& storeFolder);
    static void post(const QString& storeFolder, Kind kind, const QString& devicePath);

    // The file is cut back to nothing once it grows past this; readers then start again at 0.
    static constexpr qint64 TrimSize = 256 * 1024;
};
