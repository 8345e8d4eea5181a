// SPDX-License-Identifier: BSD-3-Clause
#include "SystemReport.h"

#include "i18n/ResStrs.h"
#include "platform/HostQueries.h"
#include "token/CerMgrApis.h"
#include "ui/TProgramState.h"

#include <QDateTime>
#include <QLocale>
#include <QSaveFile>
#include <QStringEncoder>

#include <cmath>
#include <optional>

namespace {

using Row = SystemReport::Row;
using Folder = HostQueries::Folder;

const QString kSmartCardProvider = QStringLiteral("Microsoft Base Smart Card Crypto Provider");

std::optional<QString>& providerOverride()
{
    static std::optional<QString> provider;
    return provider;
}

QString text(const char* key)
{
    return ResStrs::text(key);
}

QString installedText(bool installed)
{
    return installed ? text("S_CSP_Install") : text("S_CSP_NullInstall");
}

// Memory sizes as the key information page shows them: whole kilobytes (ties to even) up to
// 1000 KB, megabytes with two decimals above.
// Tries a PKCS#11 token does not tell read as unknown, not as -1.
QString countText(qint32 value)
{
    return value < 0 ? text("K_Info_Unknown") : QString::number(value);
}

QString sizeText(qint64 bytes)
{
    if (bytes == TQ7Info::MemoryUnknown)
        return text("K_Info_Unknown");
    const auto kb = qint64(std::nearbyint(double(bytes) / 1024.0));
    if (kb <= 1000)
        return QString::asprintf("%lld KB", static_cast<long long>(kb));
    return QString::asprintf("%.2f MB", double(kb) / 1024.0);
}

QString versionText(qint32 value)
{
    return QString::asprintf("%d.%.2d", value / 256, value % 256);
}

Row pathRow(const char* caption, const QString& path)
{
    if (path.isEmpty())
        return {text(caption), text("S_CSP_NullInstall"), 2};
    return {text(caption), path, 0};
}

Row versionRow(HostQueries& host, const char* caption, const QString& path)
{
    return {text(caption), path.isEmpty() ? QString() : host.fileVersionText(path), path.isEmpty() ? 2 : 0};
}

QString existingOrEmpty(HostQueries& host, const QString& path)
{
    return host.fileExists(path) ? path : QString();
}

} // namespace

QString SystemReport::providerName()
{
    return providerOverride().value_or(ResStrs::text("PROVIDER_NAME"));
}

void SystemReport::resetProviderName()
{
    providerOverride().reset();
}

void SystemReport::useSmartCardProvider()
{
    providerOverride() = kSmartCardProvider;
}

QList<Row> SystemReport::basic(HostQueries& host, int edition)
{
    QList<Row> rows;
    rows.append({text("S_System_Ver"), host.windowsName()});
    // The host's default browser stands where Windows names its own: its name and version, no prefix.
    rows.append({text("S_IE_Ver"), host.ieVersion()});
    if (edition == MiniDriverEdition) {
        QString driver = host.modulePath(Folder::System, QStringLiteral("zKeyraMiniDrv.dll"));
        if (!host.fileExists(driver))
            driver = host.modulePath(Folder::System, QStringLiteral("zKeyraMiniDrv.x64.dll"));
        const bool present = host.fileExists(driver);
        QString stateCaption = text("S_CSP_State");
        QString versionCaption = text("S_CSP_Ver");
        rows.append({stateCaption.replace(QLatin1String("CSP"), QLatin1String("MiniDriver")),
                     installedText(present)});
        rows.append({versionCaption.replace(QLatin1String("CSP"), QLatin1String("MiniDriver")),
                     present ? host.fileVersionText(driver) : QString()});
        useSmartCardProvider();
        rows.append({text("S_CSP_State"), installedText(host.cspRegistered(providerName()))});
    } else {
        rows.append({text("S_CSP_State"), installedText(host.cspRegistered(providerName()))});
        rows.append(
            {text("S_CSP_Ver"), host.fileVersionText(host.modulePath(Folder::System, text("CSP11Name")))});
    }
    rows.append(
        {text("S_PKCS11_Ver"), host.fileVersionText(host.modulePath(Folder::System, text("PKCS11Name")))});
    return rows;
}

QList<Row> SystemReport::full(HostQueries& host, int edition, TProgramState& state)
{
    const bool x64 = host.isX64();
    const QString cspName = text("CSP11Name");
    const QString p11Name = text("PKCS11Name");
    const QString csp = existingOrEmpty(host, host.modulePath(Folder::System, cspName));
    const QString p11 = existingOrEmpty(host, host.modulePath(Folder::System, p11Name));
    QString cspOther, p11Other, driver, driverOther;
    if (x64) {
        cspOther = existingOrEmpty(host, host.modulePath(Folder::Other, cspName));
        p11Other = existingOrEmpty(host, host.modulePath(Folder::Other, p11Name));
        driver = host.modulePath(Folder::System, QStringLiteral("zKeyraMiniDrv.x64.dll"));
        const QString version = host.fileExists(driver) ? host.fileVersionText(driver) : QString();
        if (version.isEmpty() || version == QLatin1String("-1"))
            driver.clear();
        driverOther =
            existingOrEmpty(host, host.modulePath(Folder::Other, QStringLiteral("zKeyraMiniDrv.dll")));
    } else {
        driver = existingOrEmpty(host, host.modulePath(Folder::System, QStringLiteral("zKeyraMiniDrv.dll")));
    }

    QList<Row> rows;
    rows.append({text("S_System_Ver"), host.windowsName(), 0});
    rows.append({text("S_IE_Ver"), host.ieVersion(), 0});
    if (edition == MiniDriverEdition) {
        rows.append(pathRow("U_CCID_X86_Path", driver));
        if (x64)
            rows.append(pathRow("U_CCID_X64_Path", driverOther));
        rows.append(versionRow(host, "S_CCIDVer", driver));
        useSmartCardProvider();
        const bool registered = host.cspRegistered(providerName());
        rows.append({text("MS_SmartCard_CSP"), installedText(registered), registered ? 0 : 2});
        const bool running = host.serviceRunning(QStringLiteral("SCardSvr"));
        rows.append(
            {text("MS_SmartCard_Svr"), running ? text("MS_Srv_Run") : text("MS_Srv_Stop"), running ? 0 : 2});
    } else {
        rows.append(pathRow("U_CSP_X86_Path", csp));
        if (x64)
            rows.append(pathRow("U_CSP_X64_Path", cspOther));
        rows.append(versionRow(host, "S_CSP_Ver", csp));
    }
    rows.append(pathRow("U_P11_X86_Path", p11));
    if (x64)
        rows.append(pathRow("U_P11_X64_Path", p11Other));
    rows.append(versionRow(host, "S_PKCS11_Ver", p11));

    TTokenSession* first = state.sessions.at(0);
    const bool found = first != nullptr;
    if (found && CerMgrApis::ReadTokenInfo(0, first->info()) == 0)
        CerMgrApis::ReadPinState(0, PinType::User, first->pinState());
    const int tokenState = found ? 0 : 2;
    rows.append({text("U_USBState"), found ? text("S_Connect") : text("S_DisConnect"), tokenState});
    if (!found)
        return rows;

    const TQ7Info& info = first->info();
    const TPinState& pin = first->pinState();
    rows.append({text("K_Info_labelName"), info.Label, tokenState});
    rows.append({text("K_Info_manufacture"), info.Manufacturer, tokenState});
    rows.append({text("K_Info_model"), info.Model, tokenState});
    rows.append({text("K_Info_Sn"), info.SerialNumber, tokenState});
    rows.append({text("K_Info_maxPinLen"), QString::number(info.MaxPinLen), tokenState});
    rows.append({text("K_Info_minPinLen"), QString::number(info.MinPinLen), tokenState});
    rows.append({text("Admin_label_TryCount"), countText(pin.MaxRetries), tokenState});
    rows.append({text("S_KeyTryTime"), countText(pin.RetriesLeft), tokenState});
    rows.append({text("S_Key_Dead_State"), pin.Locked ? text("S_Key_Dead_Yes") : text("S_Key_Dead_No"),
                 pin.Locked ? 2 : 0});
    rows.append({text("K_Info_totalMemory"), sizeText(info.TotalMemory), tokenState});
    rows.append({text("K_Info_freeMemory"), sizeText(info.FreeMemory), tokenState});
    rows.append({text("K_Info_hardwareVer"), versionText(info.HardwareVersion), tokenState});
    rows.append({text("K_Info_firmVer"), versionText(info.FirmwareVersion), tokenState});
    rows.append({QStringLiteral("FIPS"), QStringLiteral("140-2 Compatible")});
    return rows;
}

QByteArray SystemReport::saveText(const QList<Row>& rows, const QString& dateLine)
{
    QString content = dateLine + QLatin1String("\r\n\r\n");
    for (const Row& row : rows)
        content += row.caption.rightJustified(20) + QLatin1String(" : ") + row.value + QLatin1String("\r\n");
    QStringEncoder encoder(QStringEncoder::System);
    return encoder.encode(content);
}

bool SystemReport::save(const QString& fileName, const QList<Row>& rows)
{
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    const QString dateLine = locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                             locale.toString(now.time(), QLocale::LongFormat);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(saveText(rows, dateLine));
    return file.commit();
}
