#include "TokenCtlRegistry.h"

#include <algorithm>

namespace {
QList<TokenCtlRegistry::Command>& commands()
{
    static QList<TokenCtlRegistry::Command> list; // built during static initialization, read afterwards
    return list;
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

void TokenCtlRegistry::printUsage(QTextStream& out)
{
    out << "usage: tokenctl <command> [arguments]\n"
        << "Manages the virtual QX4100 tokens in " << VTokenStore::defaultFolder() << "\n\ncommands:\n";
    for (const Command& c : all())
        out << "  " << c.name << (c.usage.isEmpty() ? QString() : QLatin1Char(' ') + c.usage) << "\n      "
            << c.help << "\n";
}
