// SPDX-License-Identifier: BSD-3-Clause
#include "ResStrs.h"

#include "platform/TIniFile.h"

#include <QFileInfo>

#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

enum class Absent
{
    Space,
    Empty
};

struct TextEntry
{
    const char* key;
    const char* builtIn; // UTF-8
    Absent absent;
    QString value;
};

struct SwitchEntry
{
    const char* key;
    int withoutFile;
    int whenAbsent;
    int value;
};

const QString kSection = QStringLiteral("Caption");

struct Catalog
{
    std::vector<TextEntry> texts;
    std::vector<SwitchEntry> switches;
    std::unordered_map<std::string_view, size_t> textIndex;
    std::unordered_map<std::string_view, size_t> switchIndex;

    Catalog()
    {
#define QX_RES_TEXT(key, builtIn, absent) texts.push_back({#key, builtIn, Absent::absent, QString()});
#define QX_RES_SWITCH(key, withoutFile, whenAbsent) switches.push_back({#key, withoutFile, whenAbsent, 0});
#include "ResStrsTable.inc"
#undef QX_RES_TEXT
#undef QX_RES_SWITCH
        for (size_t i = 0; i < texts.size(); ++i)
            textIndex.emplace(texts[i].key, i);
        for (size_t i = 0; i < switches.size(); ++i)
            switchIndex.emplace(switches[i].key, i);
        reset();
    }

    void reset()
    {
        for (TextEntry& e : texts)
            e.value = QString::fromUtf8(e.builtIn);
        for (SwitchEntry& s : switches)
            s.value = s.withoutFile;
    }

    const TextEntry* findText(const char* key) const
    {
        if (!key)
            return nullptr;
        const auto it = textIndex.find(key);
        return it == textIndex.end() ? nullptr : &texts[it->second];
    }

    const SwitchEntry* findSwitch(const char* key) const
    {
        if (!key)
            return nullptr;
        const auto it = switchIndex.find(key);
        return it == switchIndex.end() ? nullptr : &switches[it->second];
    }
};

Catalog& catalog()
{
    static Catalog c;
    return c;
}

} // namespace

namespace ResStrs {

const QString& text(const char* key)
{
    static const QString empty;
    const TextEntry* e = catalog().findText(key);
    Q_ASSERT_X(e, "ResStrs::text", key ? key : "(null)");
    return e ? e->value : empty;
}

int switchValue(const char* key)
{
    const SwitchEntry* s = catalog().findSwitch(key);
    Q_ASSERT_X(s, "ResStrs::switchValue", key ? key : "(null)");
    return s ? s->value : 0;
}

bool switchOn(const char* key)
{
    return (switchValue(key) & 0xFF) != 0;
}

QString formatText(const QString& pattern, qint64 value)
{
    // Widths beyond this are a broken file, not a layout wish.
    constexpr int kMaxWidth = 64;
    QString out;
    bool used = false;
    const qsizetype n = pattern.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = pattern[i];
        if (c != QLatin1Char('%')) {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 < n && pattern[i + 1] == QLatin1Char('%')) {
            out += QLatin1Char('%');
            i += 2;
            continue;
        }
        // Parse %[-0]*[width][.precision]type.
        qsizetype j = i + 1;
        bool left = false;
        bool zero = false;
        for (; j < n && (pattern[j] == QLatin1Char('-') || pattern[j] == QLatin1Char('0')); ++j)
            (pattern[j] == QLatin1Char('-') ? left : zero) = true;
        auto number = [&](int& v) {
            for (; j < n && pattern[j].isDigit() && pattern[j].unicode() <= '9'; ++j)
                v = qMin(kMaxWidth, v * 10 + (pattern[j].unicode() - '0'));
        };
        int width = 0;
        number(width);
        int precision = -1;
        if (j < n && pattern[j] == QLatin1Char('.')) {
            ++j;
            precision = 0;
            number(precision);
        }
        const char16_t type = j < n ? pattern[j].unicode() : u'\0';
        const bool isNumber = type == u'd' || type == u'i' || type == u'u' || type == u'x' || type == u'X';
        if (used || !isNumber) {
            out += c; // not ours to expand: keep the '%' and go on with the text after it
            ++i;
            continue;
        }
        used = true;
        QString digits;
        bool negative = false;
        if (type == u'x' || type == u'X') {
            digits = QString::number(quint32(value), 16).toUpper();
        } else if (type == u'u') {
            digits = QString::number(quint32(value));
        } else {
            negative = value < 0;
            digits = QString::number(negative ? -(quint64(value)) : quint64(value));
        }
        if (precision > digits.size())
            digits.prepend(QString(precision - digits.size(), QLatin1Char('0')));
        QString field = negative ? QLatin1Char('-') + digits : digits;
        if (field.size() < width) {
            const qsizetype pad = width - field.size();
            if (left)
                field.append(QString(pad, QLatin1Char(' ')));
            else if (zero && precision < 0)
                field.insert(negative ? 1 : 0, QString(pad, QLatin1Char('0')));
            else
                field.prepend(QString(pad, QLatin1Char(' ')));
        }
        out += field;
        i = j + 1;
    }
    return out;
}

QString format(const char* key, qint64 value)
{
    return formatText(text(key), value);
}

void load(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return;
    const TIniFile file(path);
    // A file that cannot be read counts as missing: blanking every text would leave an unusable window.
    if (!file.isReadable())
        return;
    Catalog& c = catalog();
    const QString space = QStringLiteral(" ");
    for (TextEntry& e : c.texts)
        e.value =
            file.readString(kSection, QLatin1String(e.key), e.absent == Absent::Space ? space : QString());
    for (SwitchEntry& s : c.switches)
        s.value = file.readInt(kSection, QLatin1String(s.key), s.whenAbsent);
}

void resetToDefaults()
{
    catalog().reset();
}

QString languageFileName(int languageId)
{
    return languageId == 1033 ? QStringLiteral("EN_1033.lng") : QStringLiteral("CHS_2052.lng");
}

bool hasKey(const char* key)
{
    return catalog().findText(key) || catalog().findSwitch(key);
}

QStringList textKeys()
{
    QStringList keys;
    for (const TextEntry& e : catalog().texts)
        keys.append(QLatin1String(e.key));
    return keys;
}

QStringList switchKeys()
{
    QStringList keys;
    for (const SwitchEntry& s : catalog().switches)
        keys.append(QLatin1String(s.key));
    return keys;
}

QStringList allKeys()
{
    return textKeys() + switchKeys();
}

QString builtInText(const char* key)
{
    const TextEntry* e = catalog().findText(key);
    return e ? QString::fromUtf8(e->builtIn) : QString();
}

} // namespace ResStrs
