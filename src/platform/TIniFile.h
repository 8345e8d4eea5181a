// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// An initialization file read and written with the rules of the Windows profile-file functions, so
// files made for those functions read the same here:
// - UTF-16LE with a byte-order mark, or the system code page (a UTF-8 or UTF-16BE mark is honoured too);
// - section and key names compare case-insensitively;
// - blanks around a value are trimmed, then one pair of matching quotes ("..." or '...') is removed;
// - a value is cut after MaxValueLength characters;
// - when a key appears more than once in a section, the first one wins;
// - a missing file, section or key gives the caller's default.
//
// The file is parsed once when the object is made; every read after that is a hash lookup.
class TIniFile
{
public:
    enum class Encoding
    {
        System,
        Utf16LE,
        Utf16BE,
        Utf8Bom
    };

    static constexpr int MaxValueLength = 2047;
    // Larger files are not read (and never overwritten): no initialization file comes near this.
    static constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

    explicit TIniFile(const QString& path);

    const QString& path() const { return m_path; }
    bool exists() const { return m_exists; }
    // False when the file exists but could not be read (no access, too large, not a file).
    bool isReadable() const { return m_readable; }
    Encoding encoding() const { return m_encoding; }

    QString readString(const QString& section, const QString& key, const QString& def = QString()) const;
    // Decimal, or hexadecimal after "0x"/"0X"; a value that is not such an integer gives `def`.
    int readInt(const QString& section, const QString& key, int def) const;
    bool hasSection(const QString& section) const;
    bool hasKey(const QString& section, const QString& key) const;
    // Key names of a section as spelt in the file, first occurrences only, in file order.
    QStringList keys(const QString& section) const;

    // Sets one value and saves the file at once, atomically. The file is read again first so that
    // everything else in it (comments, other sections, its encoding) is kept as it is on disk.
    // Values that need it are quoted so that they read back unchanged. Returns false, writing
    // nothing, for names or values that cannot be stored in the format (line breaks, '=' in a key,
    // ']' in a section name, empty names) and when the file cannot be read or written.
    // The file is saved through a temporary file renamed over its name, owner-only; a symbolic link
    // in its place is replaced by the file, never written through.
    bool writeString(const QString& section, const QString& key, const QString& value);
    // Several values of one section in a single save (each save is synced to disk), in list order.
    bool writeStrings(const QString& section, const QList<std::pair<QString, QString>>& values);
    bool writeInt(const QString& section, const QString& key, int value);

    // Re-reads the file from disk.
    void reload();

    // The integer rule of readInt: whole text, optional sign for decimal, 32-bit range; hexadecimal
    // takes up to eight digits and wraps into the signed range as the profile functions do.
    static bool parseInt(const QString& text, int* value);

private:
    // Empty contents in the system code page, as a file that does not exist reads.
    void clearContents();
    struct Section
    {
        QHash<QString, QString> values; // folded key -> value as read
        QStringList keyOrder;           // key names as spelt, first occurrences
    };

    void parse(const QString& text);
    const Section* findSection(const QString& section) const;

    QString m_path;
    bool m_exists = false;
    bool m_readable = true;
    Encoding m_encoding = Encoding::System;
    QString m_eol = QStringLiteral("\r\n");
    QStringList m_lines;
    bool m_endsWithEol = true;
    QHash<QString, Section> m_sections; // folded section name -> merged keys
};
