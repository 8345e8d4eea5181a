#include "StartUp.h"

#include "i18n/ResStrs.h"
#include "platform/AppPaths.h"
#include "platform/CopyDataChannel.h"
#include "platform/HollinRunOnce.h"
#include "settings/SettingsFile.h"

#include <QDeadlineTimer>
#include <QThread>

namespace StartUp {

QString languageFilePath(int languageId)
{
    return AppPaths::applicationDir() + QStringLiteral("Languages/") + ResStrs::languageFileName(languageId);
}

int loadLanguage()
{
    const int languageId =
        SettingsFile::readLanguageId(AppPaths::settingsDir() + QLatin1String(SettingsFile::FileName));
    ResStrs::load(languageFilePath(languageId));
    return languageId;
}

bool restoreRunningInstance(quint32 id, const TTimings& timings)
{
    const QString command = QLatin1String(HollinRunOnce::RestoreCommand);
    QDeadlineTimer deadline(timings.restoreDeadline);
    for (;;) {
        if (CopyDataChannel::send(QLatin1String(WindowClassName), command, timings.restoreRequest))
            return true;
        if (!HollinRunOnce::processAlive(id) || deadline.hasExpired())
            return false;
        // No window exists yet in this process, so a plain pause keeps nothing waiting.
        QThread::msleep(timings.restoreRetryPause);
    }
}

} // namespace StartUp
