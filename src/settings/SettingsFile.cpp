// SPDX-License-Identifier: BSD-3-Clause
#include "SettingsFile.h"

#include "i18n/ResStrs.h"
#include "platform/TRegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringConverter>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <optional>

namespace {

// The part of the document the reader looks at.
struct Element
{
    bool present = false;
    QXmlStreamAttributes attributes;
    QString text;
};

struct BaseInfo
{
    Element openUrl, certEndDay, languageId, defaultPin, pkcs11Module;
};

QString decodeText(const QByteArray& bytes)
{
    // A byte-order mark selects the encoding; without one the system code page applies.
    const std::optional<QStringConverter::Encoding> bom = QStringConverter::encodingForData(bytes);
    QStringDecoder decoder(bom.value_or(QStringConverter::System));
    return decoder.decode(bytes);
}

// Standard Base64; characters outside the alphabet (line breaks and the like) are skipped.
std::optional<QByteArray> decodeBase64(const QString& text)
{
    QByteArray clean;
    clean.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '+' ||
            u == '/' || u == '=')
            clean.append(char(u));
    }
    if (clean.isEmpty())
        return std::nullopt;
    QByteArray::FromBase64Result result = QByteArray::fromBase64Encoding(
        clean, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return std::move(result.decoded);
}

// Parses the whole document (any error fails it) and keeps the first BaseInfo below the document
// element with its first child of each name.
std::optional<BaseInfo> parseDocument(const QString& xml)
{
    QXmlStreamReader reader(xml);
    BaseInfo info;
    bool baseSeen = false; // the first BaseInfo child of the document element
    int depth = 0;
    int baseDepth = -1;
    Element* current = nullptr;
    int currentDepth = -1;
    bool rootSeen = false;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            ++depth;
            if (depth == 1)
                rootSeen = true;
            if (depth == 2 && !baseSeen && reader.name() == QLatin1String("BaseInfo")) {
                baseSeen = true;
                baseDepth = depth;
            } else if (baseDepth > 0 && depth == baseDepth + 1) {
                Element* target = nullptr;
                const auto name = reader.name();
                if (name == QLatin1String("OpenURL"))
                    target = &info.openUrl;
                else if (name == QLatin1String("CertEndDay"))
                    target = &info.certEndDay;
                else if (name == QLatin1String("LanguageID"))
                    target = &info.languageId;
                else if (name == QLatin1String("DefaultPIN"))
                    target = &info.defaultPin;
                else if (name == QLatin1String("PKCS11Module"))
                    target = &info.pkcs11Module;
                if (target && !target->present) {
                    target->present = true;
                    target->attributes = reader.attributes();
                    current = target;
                    currentDepth = depth;
                }
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            if (depth == currentDepth) {
                current = nullptr;
                currentDepth = -1;
            }
            if (depth == baseDepth)
                baseDepth = -1;
            --depth;
            break;
        case QXmlStreamReader::Characters:
            // The element's text is all the text inside it, nested elements included.
            if (current)
                current->text += reader.text();
            break;
        default:
            break;
        }
    }
    if (reader.hasError() || !rootSeen)
        return std::nullopt;
    return info;
}

std::optional<qint32> toInt(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    // Decimal only, with an optional sign.
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t.at(i);
        if (!(c.isDigit() && c.unicode() < 128) &&
            !(i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+'))))
            return std::nullopt;
    }
    bool ok = false;
    const int value = t.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<qint32> attributeInt(const Element& e, const char* name)
{
    const QLatin1String key(name);
    if (!e.attributes.hasAttribute(key))
        return std::nullopt;
    return toInt(e.attributes.value(key).toString());
}

} // namespace

namespace SettingsFile {

bool parse(const QByteArray& fileContent, TConfigInfo& config)
{
    const std::optional<QByteArray> decoded = decodeBase64(decodeText(fileContent));
    if (!decoded)
        return false;
    const std::optional<BaseInfo> doc =
        parseDocument(QStringDecoder(QStringConverter::System).decode(*decoded));
    if (!doc)
        return false;

    // The module stands apart from the record's order: a file without it, or one that stops early,
    // still names it.
    if (doc->pkcs11Module.present)
        config.PKCS11Module = doc->pkcs11Module.attributes.value(QLatin1String("Path")).toString().trimmed();

    // Strictly in record order, each field stored as soon as it is read.
    const auto openMode = attributeInt(doc->openUrl, "OpenMode");
    if (!openMode)
        return false;
    config.OpenMode = *openMode;
    if (!doc->openUrl.attributes.hasAttribute(QLatin1String("URL")))
        return false;
    config.URL = doc->openUrl.attributes.value(QLatin1String("URL")).toString();
    const auto browserMode = attributeInt(doc->openUrl, "BrowserMode");
    if (!browserMode)
        return false;
    config.BrowserMode = *browserMode;
    const auto certDayMode = attributeInt(doc->certEndDay, "CertDayMode");
    if (!certDayMode)
        return false;
    config.CertDayMode = *certDayMode;
    const auto certDay = attributeInt(doc->certEndDay, "CertDay");
    if (!certDay)
        return false;
    config.CertDay = *certDay;
    const auto languageId = toInt(doc->languageId.text);
    if (!languageId)
        return false;
    config.LanguageID = *languageId;
    if (doc->defaultPin.text.trimmed().isEmpty()) {
        config.DefaultPIN = 1;
        return true;
    }
    const auto defaultPin = toInt(doc->defaultPin.text);
    if (!defaultPin)
        return false;
    config.DefaultPIN = *defaultPin;
    return true;
}

bool read(const QString& path, TConfigInfo& config)
{
    // Only a regular file: a FIFO or device named MgrConfig.ini must not hold up the start.
    QFile file;
    if (TRegularFile::open(file, path) != TRegularFile::Result::Opened || file.size() > MaxFileSize)
        return false;
    const QByteArray content = file.read(MaxFileSize + 1);
    if (content.size() > MaxFileSize)
        return false;
    return parse(content, config);
}

int readLanguageId(const QString& path)
{
    TConfigInfo config;
    return read(path, config) ? config.LanguageID : 0;
}

QString installedProvider()
{
    const QString name = ResStrs::text("PROVIDER_NAME");
    const QString moduleFile = name + QStringLiteral(".module");
    const QString userConfig = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QStringList folders = {userConfig + QStringLiteral("/pkcs11/modules"),
                                 QStringLiteral("/etc/pkcs11/modules"),
                                 QStringLiteral("/usr/share/p11-kit/modules")};
    for (const QString& folder : folders) {
        if (QFileInfo(folder + QLatin1Char('/') + moduleFile).isFile())
            return name;
    }
    return QString();
}

} // namespace SettingsFile
