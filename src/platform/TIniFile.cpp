// SPDX-License-Identifier: BSD-3-Clause
#include "TIniFile.h"

#include "TRegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\v') ||
           c == QLatin1Char('\f');
}

QString trimBlanks(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isBlank(s[begin]))
        ++begin;
    while (end > begin && isBlank(s[end - 1]))
        --end;
    return s.mid(begin, end - begin).toString();
}

bool isQuote(QChar c)
{
    return c == QLatin1Char('"') || c == QLatin1Char('\'');
}

// What a reader gets for the raw text after the '=' of a key line.
QString valueAsRead(QStringView raw)
{
    QString value = trimBlanks(raw);
    if (value.size() >= 2 && isQuote(value.front()) && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    if (value.size() > TIniFile::MaxValueLength) {
        value.truncate(TIniFile::MaxValueLength);
        // Never hand out half of a surrogate pair.
        if (value.back().isHighSurrogate())
            value.chop(1);
    }
    return value;
}

QString fold(const QString& name)
{
    return name.toCaseFolded();
}

bool hasLineBreak(const QString& s)
{
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
}

// Header text of a "[name]" line, or a null string when the line is no header.
QString headerName(QStringView trimmedLine)
{
    if (!trimmedLine.startsWith(QLatin1Char('[')))
        return QString();
    qsizetype close = trimmedLine.lastIndexOf(QLatin1Char(']'));
    if (close < 1)
        close = trimmedLine.size();
    QString name = trimBlanks(trimmedLine.mid(1, close - 1));
    if (name.isNull())
        name = QLatin1String("");
    return name;
}

struct KeyLine
{
    QString key;
    qsizetype valueStart = -1;
};

// A "key=value" line; an empty key means the line holds none (comment, junk, "=x").
KeyLine keyLine(const QString& line)
{
    KeyLine result;
    const QString left = trimBlanks(line);
    if (left.isEmpty() || left.front() == QLatin1Char(';') || left.front() == QLatin1Char('['))
        return result;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return result;
    result.key = trimBlanks(QStringView(line).left(eq));
    result.valueStart = eq + 1;
    return result;
}

// Quotes a value whose reading would otherwise change it: outer blanks would be trimmed, and a
// value that already starts and ends with the same quote would lose that pair.
QString valueAsWritten(const QString& value)
{
    const bool outerBlank = !value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()));
    const bool looksQuoted = value.size() >= 2 && isQuote(value.front()) && value.back() == value.front();
    if (outerBlank || looksQuoted)
        return QLatin1Char('"') + value + QLatin1Char('"');
    return value;
}

// Puts "key=value" into the lines of a file: over the occurrence a reader finds, else after the last
// line of the first matching section, else in a new section at the end.
void setValueLine(QStringList& lines, const QString& sectionName, const QString& keyName,
                  const QString& value)
{
    const QString wantedSection = fold(sectionName);
    const QString wantedKey = fold(keyName);
    const QString written = valueAsWritten(value);

    qsizetype firstHeader = -1;
    qsizetype insertAt = -1; // after the last non-blank line of the first matching section
    bool inSection = false;
    bool inFirst = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString header = headerName(trimBlanks(lines[i]));
        if (!header.isNull()) {
            inSection = fold(header) == wantedSection;
            inFirst = inSection && firstHeader < 0;
            if (inFirst) {
                firstHeader = i;
                insertAt = i + 1;
            }
            continue;
        }
        if (!inSection)
            continue;
        const KeyLine kl = keyLine(lines[i]);
        if (!kl.key.isEmpty() && fold(kl.key) == wantedKey) {
            lines[i] = kl.key + QLatin1Char('=') + written;
            return;
        }
        if (inFirst && !trimBlanks(lines[i]).isEmpty())
            insertAt = i + 1;
    }

    const QString line = keyName + QLatin1Char('=') + written;
    if (firstHeader >= 0) {
        lines.insert(insertAt, line);
        return;
    }
    while (!lines.isEmpty() && trimBlanks(lines.back()).isEmpty())
        lines.removeLast();
    if (!lines.isEmpty())
        lines.append(QString());
    lines.append(QLatin1Char('[') + sectionName + QLatin1Char(']'));
    lines.append(line);
}

// Writes a temporary file in the target's own folder and renames it over the target name. A rename
// replaces whatever has that name, a symbolic link included, so a link's target is never written,
// made or chmod-ed. The new file is readable by its owner only (some of these files hold PINs).
bool saveReplacing(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    QTemporaryFile out(info.absolutePath() + QLatin1Char('/') + info.fileName() + QLatin1String(".XXXXXX"));
    if (!out.open())
        return false;
    out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (out.write(bytes) != bytes.size() || !out.flush() || ::fsync(out.handle()) != 0)
        return false;
    if (std::rename(QFile::encodeName(out.fileName()).constData(),
                    QFile::encodeName(info.absoluteFilePath()).constData()) != 0)
        return false;
    out.setAutoRemove(false);
    return true;
}

} // namespace

TIniFile::TIniFile(const QString& path) : m_path(path)
{
    reload();
}

void TIniFile::clearContents()
{
    m_exists = false;
    m_readable = true;
    m_encoding = Encoding::System;
    m_eol = QStringLiteral("\r\n");
    m_lines.clear();
    m_endsWithEol = true;
    m_sections.clear();
}

void TIniFile::reload()
{
    clearContents();

    const QFileInfo info(m_path);
    if (!info.exists())
        return;
    m_exists = true;
    QFile file(m_path);
    if (TRegularFile::open(file, m_path) != TRegularFile::Result::Opened || file.size() > MaxFileSize) {
        m_readable = false;
        return;
    }
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (bytes.size() > MaxFileSize) { // grew after the size check
        m_readable = false;
        return;
    }

    QStringConverter::Encoding codec = QStringConverter::System;
    qsizetype skip = 0;
    if (bytes.startsWith("\xFF\xFE")) {
        m_encoding = Encoding::Utf16LE;
        codec = QStringConverter::Utf16LE;
        skip = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        m_encoding = Encoding::Utf16BE;
        codec = QStringConverter::Utf16BE;
        skip = 2;
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        m_encoding = Encoding::Utf8Bom;
        codec = QStringConverter::Utf8;
        skip = 3;
    }
    QStringDecoder decoder(codec, QStringConverter::Flag::Stateless);
    parse(decoder.decode(QByteArrayView(bytes.constData() + skip, bytes.size() - skip)));
}

void TIniFile::parse(const QString& text)
{
    m_lines.clear();
    m_sections.clear();
    m_endsWithEol = text.isEmpty() || text.back() == QLatin1Char('\n') || text.back() == QLatin1Char('\r');

    bool eolSeen = false;
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start < n) {
        qsizetype end = start;
        while (end < n && text[end] != QLatin1Char('\n') && text[end] != QLatin1Char('\r'))
            ++end;
        m_lines.append(text.mid(start, end - start));
        if (end < n) {
            const bool crlf =
                text[end] == QLatin1Char('\r') && end + 1 < n && text[end + 1] == QLatin1Char('\n');
            if (!eolSeen) {
                m_eol = crlf ? QStringLiteral("\r\n") : QString(text[end]);
                eolSeen = true;
            }
            end += crlf ? 2 : 1;
        }
        start = end;
    }

    Section* current = nullptr;
    for (const QString& line : std::as_const(m_lines)) {
        const QString header = headerName(trimBlanks(line));
        if (!header.isNull()) {
            current = &m_sections[fold(header)];
            continue;
        }
        if (!current)
            continue; // keys before the first section belong to none
        const KeyLine kl = keyLine(line);
        if (kl.key.isEmpty())
            continue;
        const QString folded = fold(kl.key);
        if (current->values.contains(folded))
            continue; // the first occurrence wins
        current->values.insert(folded, valueAsRead(QStringView(line).mid(kl.valueStart)));
        current->keyOrder.append(kl.key);
    }
}

const TIniFile::Section* TIniFile::findSection(const QString& section) const
{
    const auto it = m_sections.constFind(fold(section));
    return it == m_sections.cend() ? nullptr : &it.value();
}

QString TIniFile::readString(const QString& section, const QString& key, const QString& def) const
{
    if (const Section* s = findSection(section)) {
        const auto it = s->values.constFind(fold(key));
        if (it != s->values.cend())
            return it.value();
    }
    return def;
}

int TIniFile::readInt(const QString& section, const QString& key, int def) const
{
    const Section* s = findSection(section);
    if (!s)
        return def;
    const auto it = s->values.constFind(fold(key));
    int value = 0;
    if (it == s->values.cend() || !parseInt(it.value(), &value))
        return def;
    return value;
}

bool TIniFile::hasSection(const QString& section) const
{
    return findSection(section) != nullptr;
}

bool TIniFile::hasKey(const QString& section, const QString& key) const
{
    const Section* s = findSection(section);
    return s && s->values.contains(fold(key));
}

QStringList TIniFile::keys(const QString& section) const
{
    const Section* s = findSection(section);
    return s ? s->keyOrder : QStringList();
}

bool TIniFile::parseInt(const QString& text, int* value)
{
    const QString t = trimBlanks(text);
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QStringView digits = QStringView(t).mid(2);
        if (digits.isEmpty() || digits.size() > 8)
            return false;
        quint32 v = 0;
        for (const QChar c : digits) {
            const char16_t u = c.unicode();
            quint32 d = 0;
            if (u >= u'0' && u <= u'9')
                d = u - u'0';
            else if (u >= u'a' && u <= u'f')
                d = u - u'a' + 10;
            else if (u >= u'A' && u <= u'F')
                d = u - u'A' + 10;
            else
                return false;
            v = v * 16 + d;
        }
        *value = int(v);
        return true;
    }
    bool ok = false;
    // toInt accepts only ASCII digits with an optional sign and rejects anything out of range.
    const int v = t.toInt(&ok, 10);
    if (!ok)
        return false;
    *value = v;
    return true;
}

bool TIniFile::writeString(const QString& section, const QString& key, const QString& value)
{
    return writeStrings(section, {{key, value}});
}

bool TIniFile::writeStrings(const QString& section, const QList<std::pair<QString, QString>>& values)
{
    const QString sectionName = trimBlanks(section);
    if (sectionName.isEmpty() || sectionName.contains(QLatin1Char(']')) || hasLineBreak(sectionName))
        return false;
    for (const auto& [key, value] : values) {
        const QString keyName = trimBlanks(key);
        if (keyName.isEmpty() || keyName.contains(QLatin1Char('=')) || hasLineBreak(keyName) ||
            keyName.front() == QLatin1Char(';') || keyName.front() == QLatin1Char('[') || hasLineBreak(value))
            return false;
    }

    // A link in the file's place is replaced, never followed: its target is neither read nor written.
    if (QFileInfo(m_path).isSymLink()) {
        clearContents();
    } else {
        reload();
        if (!m_readable)
            return false;
    }

    QStringList lines = m_lines;
    for (const auto& [key, value] : values)
        setValueLine(lines, sectionName, trimBlanks(key), value);

    QString text = lines.join(m_eol);
    if (m_endsWithEol)
        text += m_eol;

    Encoding encoding = m_encoding;
    QByteArray bytes;
    if (encoding == Encoding::System) {
        QStringEncoder encoder(QStringConverter::System, QStringConverter::Flag::Stateless);
        bytes = encoder.encode(text);
        // Text the code page cannot hold would be lost: keep it by switching the file to UTF-16.
        if (encoder.hasError())
            encoding = Encoding::Utf16LE;
    }
    if (encoding != Encoding::System) {
        const QStringConverter::Encoding codec = encoding == Encoding::Utf16LE   ? QStringConverter::Utf16LE
                                                 : encoding == Encoding::Utf16BE ? QStringConverter::Utf16BE
                                                                                 : QStringConverter::Utf8;
        QStringEncoder encoder(codec, QStringConverter::Flag::WriteBom | QStringConverter::Flag::Stateless);
        bytes = encoder.encode(text);
    }

    if (!saveReplacing(m_path, bytes))
        return false;

    m_exists = true;
    m_encoding = encoding;
    parse(text);
    return true;
}

bool TIniFile::writeInt(const QString& section, const QString& key, int value)
{
    return writeString(section, key, QString::number(value));
}
