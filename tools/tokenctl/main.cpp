// tokenctl: creates, lists and drives the virtual tokens.
#include "TokenCtlRegistry.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("help") || args.first() == QLatin1String("--help")) {
        TokenCtlRegistry::printUsage(args.isEmpty() ? err : out);
        return args.isEmpty() ? 2 : 0;
    }
    const QString name = args.takeFirst();
    const TokenCtlRegistry::Command* cmd = TokenCtlRegistry::find(name);
    if (!cmd) {
        err << "tokenctl: unknown command \"" << name << "\"\n";
        TokenCtlRegistry::printUsage(err);
        return 2;
    }
    VTokenStore store;
    TokenCtlContext ctx{args, store, out, err};
    return cmd->run(ctx);
}
