// The start-up sequence; the steps themselves live in their modules.
#include "app/StartUp.h"
#include "app/TMainForm.h"
#include "app/TreeImages.h"
#include "finger/TSkfBinding.h"
#include "i18n/ResStrs.h"
#include "platform/AppPaths.h"
#include "platform/CopyDataChannel.h"
#include "platform/HollinRunOnce.h"
#include "platform/TTimings.h"

#include <QApplication>
#include <QFileInfo>

#include <memory>

int main(int argc, char** argv)
{
    // Module initialisation: the SKF device library first (it needs the executable's directory,
    // known before the application object exists), then the single-instance slot.
    QFileInfo executable(QStringLiteral("/proc/self/exe"));
    if (!executable.exists())
        executable = QFileInfo(QString::fromLocal8Bit(argv[0]));
    TSkfBinding skf(executable.canonicalFilePath().isEmpty()
                        ? executable.absolutePath() + QLatin1Char('/')
                        : QFileInfo(executable.canonicalFilePath()).absolutePath() + QLatin1Char('/'));
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

    auto form = std::make_unique<TMainForm>();
    form->state().timings = timings;
    form->state().skf = &skf;
    QObject::connect(&channel, &CopyDataChannel::received, form.get(), &TMainForm::handleCommand);

    app.setWindowIcon(TreeImages::icon(9));

    form->show();
    const int result = app.exec();
    // Shutdown: the window (and with it discovery) goes first; the slot and the SKF library follow
    // as runOnce and skf go out of scope.
    form.reset();
    return result;
}
