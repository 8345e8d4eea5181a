// SPDX-License-Identifier: BSD-3-Clause
#include "TokenCtlRegistry.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

namespace {

QList<TokenCtlRegistry::Command>& commands()
{
    static QList<TokenCtlRegistry::Command> list; // built during static initialization, read afterwards
    return list;
}

const QCommandLineOption HelpOption({QStringLiteral("h"), QStringLiteral("help")},
                                    QStringLiteral("Shows this help."));
const QCommandLineOption VersionOption({QStringLiteral("v"), QStringLiteral("version")},
                                       QStringLiteral("Shows the version of tokenctl."));

void addOptions(QCommandLineParser& p, const QList<TokenCtlRegistry::Option>& options)
{
    // "-label" reads as "--label", never as -l -a -b -e -l.
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    p.addOption(HelpOption);
    p.addOption(VersionOption);
    for (const TokenCtlRegistry::Option& o : options)
        p.addOption(o.valueName.isEmpty() ? QCommandLineOption(o.name, o.description)
                                          : QCommandLineOption(o.name, o.description, o.valueName));
}

// The option as the user wrote it, without any "=value", for messages.
QString asGiven(const QStringList& args, const QString& name)
{
    for (const QString& a : args) {
        if (a == QLatin1String("--"))
            break;
        if (!a.startsWith(QLatin1Char('-')))
            continue;
        const QString option = a.section(QLatin1Char('='), 0, 0);
        qsizetype dashes = 0;
        while (dashes < option.size() && option[dashes] == QLatin1Char('-'))
            ++dashes;
        if (option.mid(dashes) == name)
            return option;
    }
    return QStringLiteral("--") + name;
}

int parseError(const QCommandLineParser& p, const QStringList& args,
               const QList<TokenCtlRegistry::Option>& options, QTextStream& err)
{
    const QStringList unknown = p.unknownOptionNames();
    if (!unknown.isEmpty()) {
        err << "tokenctl: unknown option \"" << asGiven(args, unknown.first()) << "\"\n";
        return 2;
    }
    // The parser takes whatever follows a value option as its value, so only a last one can lack it.
    if (!args.isEmpty() && args.last().startsWith(QLatin1Char('-'))) {
        const QString name = args.last().mid(args.last().startsWith(QLatin1String("--")) ? 2 : 1);
        for (const TokenCtlRegistry::Option& o : options)
            if (o.name == name && !o.valueName.isEmpty()) {
                err << "tokenctl: option " << args.last() << " needs a value\n";
                return 2;
            }
    }
    QString text = p.errorText();
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    err << "tokenctl: " << text << "\n";
    return 2;
}

// The part of a parser's help after its own usage line: the description and the options.
QString optionsHelp(const QCommandLineParser& p)
{
    const QString text = p.helpText();
    return text.mid(text.indexOf(QLatin1Char('\n')) + 1);
}

QString version()
{
    return QStringLiteral("tokenctl " QX_VERSION_STRING "\n");
}

} // namespace

void TokenCtlRegistry::add(Command command)
{
    commands().append(std::move(command));
}

const TokenCtlRegistry::Command* TokenCtlRegistry::find(const QString& name)
{
    for (const Command& c : commands())
        if (c.name == name)
            return &c;
    return nullptr;
}

QList<TokenCtlRegistry::Command> TokenCtlRegistry::all()
{
    QList<Command> list = commands();
    std::sort(list.begin(), list.end(), [](const Command& a, const Command& b) { return a.name < b.name; });
    return list;
}

QString TokenCtlRegistry::storeHelp()
{
    return QStringLiteral("The tokens are files in the folder named by the environment variable "
                          "QX4100_TOKEN_STORE;\nunset, it is ~/.local/share/Vostrel/QX4100/tokens "
                          "(under $XDG_DATA_HOME when that is set).\nIn use now: ") +
           VTokenStore::defaultFolder() + QLatin1Char('\n');
}

void TokenCtlRegistry::printUsage(QTextStream& out)
{
    QCommandLineParser p;
    addOptions(p, {});
    p.setApplicationDescription(QStringLiteral("Creates, changes and drives the virtual QX4100 tokens."));
    out << "usage: tokenctl [options] <command> [arguments]\n" << optionsHelp(p) << "\nCommands:\n";
    for (const Command& c : all())
        out << "  " << c.name << (c.options.isEmpty() ? QString() : QStringLiteral(" [options]"))
            << (c.arguments.isEmpty() ? QString() : QLatin1Char(' ') + c.arguments) << "\n      " << c.help
            << "\n";
    out << "\n\"tokenctl <command> --help\" shows a command's options.\n\n" << storeHelp();
}

void TokenCtlRegistry::printCommandHelp(const Command& command, QTextStream& out)
{
    QCommandLineParser p;
    addOptions(p, command.options);
    p.setApplicationDescription(command.help);
    out << "usage: tokenctl " << command.name << " [options]"
        << (command.arguments.isEmpty() ? QString() : QLatin1Char(' ') + command.arguments) << "\n"
        << optionsHelp(p) << "\n"
        << (command.details.isEmpty() ? QString() : command.details + QStringLiteral("\n\n")) << storeHelp();
}

int TokenCtlRegistry::dispatch(const QStringList& args, QTextStream& out, QTextStream& err)
{
    if (args.isEmpty()) {
        printUsage(err);
        return 2;
    }
    if (args.first() == QLatin1String("help")) {
        if (args.size() == 1) {
            printUsage(out);
            return 0;
        }
        const Command* cmd = find(args[1]);
        if (!cmd) {
            err << "tokenctl: unknown command \"" << args[1] << "\"\n";
            return 2;
        }
        if (args.size() > 2) {
            err << "tokenctl: unexpected argument \"" << args[2] << "\"\n";
            return 2;
        }
        printCommandHelp(*cmd, out);
        return 0;
    }

    QCommandLineParser global;
    addOptions(global, {});
    // Everything after the command's name belongs to the command.
    global.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!global.parse(QStringList{QStringLiteral("tokenctl")} + args))
        return parseError(global, args, {}, err);
    if (global.isSet(HelpOption)) {
        printUsage(out);
        return 0;
    }
    if (global.isSet(VersionOption)) {
        out << version();
        return 0;
    }
    QStringList rest = global.positionalArguments();
    if (rest.isEmpty()) {
        printUsage(err);
        return 2;
    }
    const QString name = rest.takeFirst();
    const Command* cmd = find(name);
    if (!cmd) {
        err << "tokenctl: unknown command \"" << name << "\"\n";
        printUsage(err);
        return 2;
    }

    QCommandLineParser p;
    addOptions(p, cmd->options);
    if (!p.parse(QStringList{QStringLiteral("tokenctl")} + rest))
        return parseError(p, rest, cmd->options, err);
    if (p.isSet(HelpOption)) {
        printCommandHelp(*cmd, out);
        return 0;
    }
    if (p.isSet(VersionOption)) {
        out << version();
        return 0;
    }
    const QStringList positional = p.positionalArguments();
    if (positional.size() < cmd->minArgs) {
        err << "tokenctl: " << cmd->name << " needs " << cmd->arguments << "; see \"tokenctl " << cmd->name
            << " --help\"\n";
        return 2;
    }
    if (cmd->maxArgs >= 0 && positional.size() > cmd->maxArgs) {
        err << "tokenctl: unexpected argument \"" << positional[cmd->maxArgs] << "\"\n";
        return 2;
    }
    QMap<QString, QString> options;
    for (const Option& o : cmd->options)
        if (p.isSet(o.name))
            options.insert(o.name, o.valueName.isEmpty() ? QStringLiteral("1") : p.value(o.name));
    // A file where the folder should be would only show later as a lock that never comes free.
    const QString folder = VTokenStore::defaultFolder();
    if (QFileInfo(folder).exists() && !QFileInfo(folder).isDir()) {
        err << "tokenctl: the token store \"" << folder << "\" is not a folder"
            << (qEnvironmentVariableIsEmpty("QX4100_TOKEN_STORE") ? "" : " (QX4100_TOKEN_STORE names it)")
            << "\n";
        return 1;
    }
    VTokenStore store(folder);
    TokenCtlContext ctx{positional, options, store, out, err};
    return cmd->run(ctx);
}
