// SPDX-License-Identifier: BSD-3-Clause
// The start-up sequence; the steps themselves live in their modules.
#include "app/StartUp.h"
#include "app/TMainForm.h"
#include "app/TreeImages.h"
#include "i18n/ResStrs.h"
#include "platform/AppPaths.h"
#include "platform/CopyDataChannel.h"
#include "platform/HollinRunOnce.h"
#include "platform/TTimings.h"
#include "skf/TSkfBinding.h"

#include <QApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

#include <memory>

int main(int argc, char** argv)
{
    // Help, version and a misspelt option are answered before anything needs a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const StartUp::CommandLine commandLine = StartUp::parseCommandLine(arguments);
    if (!commandLine.run) {
        std::fputs(commandLine.output.toLocal8Bit().constData(), commandLine.exitCode ? stderr : stdout);
        return commandLine.exitCode;
    }

    // Module initialisation: the SKF device library first (it needs the tool's library folder,
    // known from the executable's directory before the application object exists), then the
    // single-instance slot.
    QFileInfo executable(QStringLiteral("/proc/self/exe"));
    if (!executable.exists())
        executable = QFileInfo(QString::fromLocal8Bit(argv[0]));
    const QString executableDir = executable.canonicalFilePath().isEmpty()
                                      ? executable.absolutePath()
                                      : QFileInfo(executable.canonicalFilePath()).absolutePath();
    TSkfBinding skf(AppPaths::dirsForExecutableDir(executableDir).library);
    HollinRunOnce runOnce;

    QApplication app(argc, argv);
    AppPaths::applicationDir();
    AppPaths::settingsDir();
    StartUp::loadLanguage();

    // A running instance is brought to the front and this one ends without a window.
    const TTimings timings;
    if (runOnce.testAndClaim(quint32(QCoreApplication::applicationPid()),
                             [&timings](quint32 id) { return StartUp::restoreRunningInstance(id, timings); }))
        return 0;
    CopyDataChannel channel;
    channel.listen(QLatin1String(StartUp::WindowClassName));

    auto form = std::make_unique<TMainForm>(commandLine.options);
    form->state().timings = timings;
    form->state().sessions.setSkf(&skf);
    QObject::connect(&channel, &CopyDataChannel::received, form.get(), &TMainForm::handleCommand);

    app.setWindowIcon(TreeImages::icon(9));

    form->show();
    const int result = app.exec();
    // Shutdown: the window (and with it discovery) goes first; the slot and the SKF library follow
    // as runOnce and skf go out of scope.
    form.reset();
    return result;
}
