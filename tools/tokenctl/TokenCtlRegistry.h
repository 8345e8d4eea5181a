#pragma once

#include "VTokenStore.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

// What a command gets: its arguments (after the command name), the store and the two output streams.
struct TokenCtlContext
{
    QStringList args;
    VTokenStore& store;
    QTextStream& out;
    QTextStream& err;
};

// The commands of tokenctl. Each source file registers its own commands with a static
// TokenCtlRegistry::Registration, so new command groups need no change here or in main().
class TokenCtlRegistry
{
public:
    struct Command
    {
        QString name;
        QString usage; // arguments, shown after the name
        QString help;  // one line
        std::function<int(TokenCtlContext&)> run;
    };

    struct Registration
    {
        explicit Registration(Command command) { TokenCtlRegistry::add(std::move(command)); }
    };

    static void add(Command command);
    static const Command* find(const QString& name);
    static QList<Command> all(); // sorted by name
    static void printUsage(QTextStream& out);
};
