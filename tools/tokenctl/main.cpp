// SPDX-License-Identifier: BSD-3-Clause
// tokenctl: creates, lists and drives the virtual tokens.
#include "TokenCtlRegistry.h"

#include <QCoreApplication>
#include <QStringDecoder>

namespace {

// Bytes that are not text shown as \xHH, so the message itself stays readable.
QString printable(const QByteArray& raw)
{
    QString s;
    for (const char ch : raw) {
        const auto b = static_cast<unsigned char>(ch);
        s += b >= 0x20 && b < 0x7F ? QString(QLatin1Char(ch))
                                   : QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    return s.replace(QLatin1String("\\X"), QLatin1String("\\x"));
}

// Arguments reach the commands decoded, and a byte that is not UTF-8 would be stored as U+FFFD
// without a word: such an argument is refused instead, named by its option where it has one.
bool argumentsAreUtf8(int argc, char** argv, QTextStream& err)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder(raw);
        if (!decoder.hasError())
            continue;
        QByteArray option;
        if (raw.startsWith('-') && raw.contains('='))
            option = raw.left(raw.indexOf('='));
        else if (i > 1 && argv[i - 1][0] == '-')
            option = argv[i - 1];
        if (!option.isEmpty())
            err << "tokenctl: the value of " << printable(option) << " is not valid UTF-8: \""
                << printable(raw) << "\"\n";
        else
            err << "tokenctl: argument \"" << printable(raw) << "\" is not valid UTF-8\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tokenctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QX_VERSION_STRING));
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!argumentsAreUtf8(argc, argv, err))
        return 2;
    return TokenCtlRegistry::dispatch(app.arguments().mid(1), out, err);
}
