// SPDX-License-Identifier: BSD-3-Clause
// Writing a 4 MiB image through the CD-ROM page with the production 100 ms pause between chunks, on
// a virtual token: a plain program that prints the rate against the 640 KiB/s the pauses allow.
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TokenFixture.h"
#include "VTokenStore.h"
#include "i18n/ResStrs.h"
#include "pinadmin/TIsoPage.h"
#include "token/CerMgrApis.h"
#include "ui/TProgramState.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestEnv env(false);
    ScriptedDialogs dialogs;
    ResStrs::resetToDefaults();

    constexpr qint64 imageBytes = 4 << 20;
    VToken t = TokenFixture::token(0);
    t.cdromSectors = imageBytes / 2048;
    QByteArray image(imageBytes, '\x5a');
    const QString path = env.path(QStringLiteral("bench.iso"));
    QFile f(path);
    if (!TokenFixture::store(t) || !f.open(QIODevice::WriteOnly) || f.write(image) != imageBytes)
        return 1;
    f.close();

    auto state = std::make_unique<TProgramState>();
    qint32 count = 0;
    if (CerMgrApis::InitTokenLibrary(ResStrs::text("PKCS11Name")) != 0 ||
        CerMgrApis::FindAndConnectTokens(count) != 0)
        return 1;
    state->sessions.reset(1);
    state->sessions.found();
    if (CerMgrApis::ReadTokenInfo(0, state->sessions.at(0)->info()) != 0)
        return 1;
    state->timings.isoDoneWait = 0; // the closing wait is not part of the transfer

    TIsoPage page(*state);
    page.findChild<QLineEdit*>(QStringLiteral("edtUPINForDownISO"))
        ->setText(QString::fromLatin1(TokenFixture::UserPin));
    page.findChild<QLineEdit*>(QStringLiteral("edtPath"))->setText(path);
    QEventLoop loop;
    quint32 result = 1;
    QObject::connect(&page, &TIsoPage::finished, &loop, [&](quint32 status) {
        result = status;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    page.downIso();
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    CerMgrApis::FreeTokenLibrary();
    if (result != 0) {
        std::printf("write failed: 0x%08X\n", result);
        return 1;
    }
    const double rate = imageBytes / 1024.0 / seconds;
    std::printf("4 MiB image: %.2f s, %.1f KiB/s, %.1f%% of the 640 KiB/s bound (at least 95%% expected)\n",
                seconds, rate, rate / 640.0 * 100.0);
    return 0;
}
