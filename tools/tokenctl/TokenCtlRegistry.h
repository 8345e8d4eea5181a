// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "VTokenStore.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

// What a command gets: its positional arguments (after the command name), the options given (flags map
// to "1"), the store and the two output streams.
struct TokenCtlContext
{
    QStringList args;
    QMap<QString, QString> options;
    VTokenStore& store;
    QTextStream& out;
    QTextStream& err;
};

// The commands of tokenctl. Each source file registers its own commands with a static
// TokenCtlRegistry::Registration, so new command groups need no change here or in main().
class TokenCtlRegistry
{
public:
    struct Option
    {
        QString name;
        QString valueName; // empty for a flag
        QString description;
    };

    struct Command
    {
        QString name;
        QString arguments; // the positional arguments, shown after the name
        QString help;      // one line
        QList<Option> options;
        int minArgs = 0;
        int maxArgs = 0; // -1: the command checks the rest itself
        std::function<int(TokenCtlContext&)> run;
        QString details = {}; // more help, shown after the options
    };

    struct Registration
    {
        explicit Registration(Command command) { TokenCtlRegistry::add(std::move(command)); }
    };

    static void add(Command command);
    static const Command* find(const QString& name);
    static QList<Command> all(); // sorted by name

    // Runs a whole command line (without the program name): 0 done, 1 failed, 2 misused.
    static int dispatch(const QStringList& args, QTextStream& out, QTextStream& err);
    static void printUsage(QTextStream& out);
    static void printCommandHelp(const Command& command, QTextStream& out);
    static QString storeHelp(); // where the tokens are and how to choose the folder
};
