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
