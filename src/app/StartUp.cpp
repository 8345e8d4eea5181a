// SPDX-License-Identifier: BSD-3-Clause
#include "StartUp.h"

#include "i18n/ResStrs.h"
#include "platform/AppPaths.h"
#include "platform/CopyDataChannel.h"
#include "platform/HollinRunOnce.h"
#include "settings/SettingsFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include <QThread>
#include <memory>

namespace StartUp {

QString languageFilePath(int languageId)
{
    return AppPaths::applicationDir() + QStringLiteral("Languages/") + ResStrs::languageFileName(languageId);
}

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCoreApplication::setApplicationName(QStringLiteral("qx4100mgr"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QX_VERSION_STRING));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Manager for USB PKI security tokens."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption admin(QStringLiteral("admin"),
                                   QStringLiteral("Administrator mode: token initialization, SO PIN, "
                                                  "PIN unlock and CD-ROM image pages, and the "
                                                  "administrator actions of the system information "
                                                  "page."));
    const QCommandLineOption module(
        QStringLiteral("module"),
        QStringLiteral("Drive the tokens of the PKCS#11 module at <path> instead of the virtual "
                       "tokens, e.g. /usr/lib/softhsm/libsofthsm2.so (SoftHSM2) or "
                       "/usr/lib/x86_64-linux-gnu/opensc-pkcs11.so (smart cards through OpenSC). The "
                       "settings' PKCS11Module element names one for every run."),
        QStringLiteral("path"));
    parser.addOptions({help, version, admin, module});

    CommandLine result;
    const QString program = arguments.isEmpty() ? QStringLiteral("qx4100mgr") : arguments.constFirst();
    if (!parser.parse(arguments)) {
        result.run = false;
        result.exitCode = 2;
        result.output = parser.errorText() + QLatin1Char('\n');
        return result;
    }
    if (parser.isSet(help)) {
        result.run = false;
        result.output = QStringLiteral("Usage: %1 [options]\n").arg(program) +
                        parser.helpText().section(QLatin1Char('\n'), 1);
        return result;
    }
    if (parser.isSet(version)) {
        result.run = false;
        result.output = QStringLiteral("qx4100mgr %1\n").arg(QStringLiteral(QX_VERSION_STRING));
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.run = false;
        result.exitCode = 2;
        result.output =
            QStringLiteral("Unexpected argument: %1\n").arg(parser.positionalArguments().constFirst());
        return result;
    }
    result.options.admin = parser.isSet(admin);
    result.options.modulePath = parser.value(module);
    return result;
}

int loadLanguage()
{
    const int languageId =
        SettingsFile::readLanguageId(AppPaths::settingsDir() + QLatin1String(SettingsFile::FileName));
    ResStrs::load(languageFilePath(languageId));
    loadQtTranslations(languageId);
    return languageId;
}

bool loadQtTranslations(int languageId)
{
    static QPointer<QTranslator> installed;
    auto* app = QCoreApplication::instance();
    if (!app)
        return false;
    delete installed;
    if (languageId == 1033)
        return false;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    // The application owns it from here; a later language change deletes it, which uninstalls it.
    translator->setParent(app);
    QCoreApplication::installTranslator(translator.get());
    installed = translator.release();
    return true;
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
