// SPDX-License-Identifier: BSD-3-Clause
#include "TSkfBinding.h"

#include <QStringEncoder>

#include <algorithm>

const char* const TSkfBinding::LibraryFileName = "zkeyra_qx4100.so";
const char* const TSkfBinding::FallbackLibraryFileName = "zkeyra_qx4100_pcsc.so";

namespace {
QString withSeparator(QString dir)
{
    if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}
} // namespace

TSkfBinding::TSkfBinding(const QString& applicationDir)
{
    load(applicationDir);
}

TSkfBinding::~TSkfBinding()
{
    unload();
}

void TSkfBinding::load(const QString& applicationDir)
{
    unload();
    for (const char* file : {LibraryFileName, FallbackLibraryFileName}) {
        m_libraryPath = withSeparator(applicationDir) + QLatin1String(file);
        m_library.setFileName(m_libraryPath);
        if (m_library.load())
            return;
    }
}

void TSkfBinding::unload()
{
    if (m_library.isLoaded())
        m_library.unload();
}

// Entry points are looked up at each call, so a library that lacks one still serves the others.
template <typename Fn, typename... Args> uint32_t TSkfBinding::call(const char* name, Args... args)
{
    if (!m_library.isLoaded())
        return SKF_ENTRY_MISSING;
    const auto fn = reinterpret_cast<Fn>(m_library.resolve(name));
    if (!fn)
        return SKF_ENTRY_MISSING;
    return fn(args...);
}

#define SKF_CALL(function, ...) call<decltype(&::function)>(#function, __VA_ARGS__)

uint32_t TSkfBinding::EnumDev(bool presentOnly, char* nameList, uint32_t* size)
{
    return SKF_CALL(SKF_EnumDev, int32_t(presentOnly ? 1 : 0), nameList, size);
}

uint32_t TSkfBinding::ConnectDev(const char* name, DEVHANDLE* device)
{
    return SKF_CALL(SKF_ConnectDev, name, device);
}

uint32_t TSkfBinding::EnumApplication(DEVHANDLE device, char* nameList, uint32_t* size)
{
    return SKF_CALL(SKF_EnumApplication, device, nameList, size);
}

uint32_t TSkfBinding::OpenApplication(DEVHANDLE device, const char* name, HAPPLICATION* application)
{
    return SKF_CALL(SKF_OpenApplication, device, name, application);
}

uint32_t TSkfBinding::VerifyPIN(HAPPLICATION application, uint32_t pinType, const char* pin,
                                uint32_t* retriesLeft)
{
    return SKF_CALL(SKF_VerifyPIN, application, pinType, pin, retriesLeft);
}

uint32_t TSkfBinding::VerifyPIN(HAPPLICATION application, uint32_t pinType, const QString& pin,
                                uint32_t* retriesLeft)
{
    QStringEncoder toSystem(QStringEncoder::System);
    QByteArray narrow = toSystem(pin);
    const uint32_t status = VerifyPIN(application, pinType, narrow.constData(), retriesLeft);
    narrow.fill('\0');
    return status;
}

uint32_t TSkfBinding::InitFinger(HAPPLICATION application, uint32_t userMaxRetries, uint32_t adminMaxRetries,
                                 uint32_t userLevel, uint32_t adminLevel)
{
    return SKF_CALL(SKF_InitializeFinger, application, userMaxRetries, adminMaxRetries, userLevel,
                    adminLevel);
}

uint32_t TSkfBinding::EnrollFingerInit(HAPPLICATION application, uint32_t pinType, uint32_t finger)
{
    return SKF_CALL(SKF_EnrollFingerInit, application, pinType, finger);
}

uint32_t TSkfBinding::EnrollFinger(HAPPLICATION application, uint32_t pinType, uint32_t finger,
                                   uint32_t* progress)
{
    return SKF_CALL(SKF_EnrollFinger, application, pinType, finger, progress);
}

uint32_t TSkfBinding::VerifyFingerInit(HAPPLICATION application, uint32_t pinType)
{
    return SKF_CALL(SKF_VerifyFingerInit, application, pinType);
}

uint32_t TSkfBinding::TestFinger(HAPPLICATION application, uint32_t pinType, uint32_t* matchedFinger)
{
    return SKF_CALL(SKF_TestFinger, application, pinType, matchedFinger);
}

uint32_t TSkfBinding::DeleteFinger(HAPPLICATION application, uint32_t pinType, uint32_t finger)
{
    return SKF_CALL(SKF_DeleteFinger, application, pinType, finger);
}

uint32_t TSkfBinding::GetFingerInfo(HAPPLICATION application, uint32_t pinType, TFingerInfo& info)
{
    info.IdCount = TFingerInfo::IdsOffered;
    info.EnrolledCount = 0;
    const uint32_t status = SKF_CALL(SKF_GetFingerInfo, application, pinType, &info.StatusA, &info.StatusB,
                                     &info.StatusC, &info.RetriesLeft, info.FingerIds.data(), &info.IdCount);
    // Readers walk the first IdCount entries, so a count beyond the buffer must never stand.
    info.IdCount = std::min(info.IdCount, TFingerInfo::IdCapacity);
    if (status != SAR_OK)
        return status;
    info.EnrolledCount = int32_t(std::count_if(info.FingerIds.begin(), info.FingerIds.begin() + info.IdCount,
                                               [](uint8_t id) { return id != 0; }));
    return status;
}

uint32_t TSkfBinding::UnblockFinger(HAPPLICATION application, uint32_t pinType)
{
    return SKF_CALL(SKF_UnblockFinger, application, pinType);
}

uint32_t TSkfBinding::ClearSecureState(HAPPLICATION application)
{
    return SKF_CALL(SKF_ClearSecureState, application);
}

#undef SKF_CALL

QList<QByteArray> TSkfBinding::SplitNameList(const char* buffer, uint32_t size)
{
    // Spaces travel as question marks through the split, so a question mark in a name reads back
    // as a space; the tool has always shown such names that way.
    QByteArray list(buffer, qsizetype(size));
    list.replace(' ', '?');
    QList<QByteArray> names;
    for (QByteArray& name : list.split('\0')) {
        if (name.isEmpty())
            continue;
        names.append(name.replace('?', ' '));
    }
    return names;
}

uint32_t TSkfBinding::GetDevInfo(TGM_Info& info)
{
    QByteArray buffer(NameListCapacity, '\0');
    uint32_t size = NameListCapacity;
    const uint32_t status = EnumDev(true, buffer.data(), &size);
    if (size < 1)
        return SKF_NO_DEVICE;
    // A failed enumeration names no device, whatever the buffer holds.
    if (status != SAR_OK)
        return status;
    if (size > NameListCapacity)
        return SAR_BUFFER_TOO_SMALL;
    const QList<QByteArray> names = SplitNameList(buffer.constData(), size);
    info.Count = int32_t(std::min<qsizetype>(names.size(), TGM_Info::Capacity));
    for (int i = 0; i < info.Count; ++i) {
        info.Names[i] = names[i];
        m_deviceHandles[i] = nullptr;
    }
    uint32_t last = status;
    for (int i = 0; i < info.Count; ++i) {
        last = ConnectDev(names[i].constData(), &m_deviceHandles[i]);
        if (last != SAR_OK) {
            m_deviceHandles[i] = nullptr;
            break;
        }
    }
    return last;
}

uint32_t TSkfBinding::GetAppInfo(int device, TGM_APPInfo& info)
{
    if (device < 0 || device >= TGM_Info::Capacity)
        return SAR_INVALIDPARAMERR;
    QByteArray buffer(NameListCapacity, '\0');
    uint32_t size = NameListCapacity;
    const uint32_t status = EnumApplication(m_deviceHandles[device], buffer.data(), &size);
    if (status != SAR_OK)
        return status;
    info.Count = 0;
    if (size == 0)
        return SAR_OK;
    if (size > NameListCapacity)
        return SAR_BUFFER_TOO_SMALL;
    const QList<QByteArray> names = SplitNameList(buffer.constData(), size);
    info.Count = int32_t(std::min<qsizetype>(names.size(), TGM_APPInfo::Capacity));
    uint32_t last = SAR_OK;
    for (int j = 0; j < info.Count; ++j) {
        info.Names[j] = names[j];
        info.Handles[j] = nullptr;
        last = OpenApplication(m_deviceHandles[device], names[j].constData(), &info.Handles[j]);
        if (last != SAR_OK)
            info.Handles[j] = nullptr;
    }
    return last;
}

uint32_t TSkfBinding::LoadFingerDevices()
{
    // Earlier handles are simply forgotten: the library offers no way to close them.
    m_devices = TGM_Info();
    m_deviceHandles.fill(nullptr);
    const uint32_t status = GetDevInfo(m_devices);
    if (status != SAR_OK)
        return status;
    m_applications.fill(TGM_APPInfo());
    for (int i = 0; i < m_devices.Count; ++i)
        GetAppInfo(i, m_applications[i]);
    m_currentApplication = m_applications[0].Handles[0];
    m_currentPinType = SKF_USER_TYPE;
    if (m_refreshPage)
        m_refreshPage(SKF_USER_TYPE);
    return SAR_OK;
}

void TSkfBinding::MatchTokenApplication(const QByteArray& serialNumber)
{
    if (HAPPLICATION application = TokenApplication(serialNumber))
        m_currentApplication = application;
}

HAPPLICATION TSkfBinding::TokenApplication(const QByteArray& serialNumber) const
{
    const qsizetype end = serialNumber.indexOf('\0');
    const QByteArray key = (end < 0 ? serialNumber : serialNumber.left(end)).left(16);
    HAPPLICATION found = nullptr;
    for (int i = 0; i < m_devices.Count && i < TGM_Info::Capacity; ++i) {
        if (m_devices.Names[i].left(16) == key)
            found = m_applications[i].Handles[0];
    }
    return found;
}

uint32_t TSkfBinding::ReadTokenFingerState(uint32_t pinType, const QByteArray& serialNumber)
{
    if (TokenApplication(serialNumber))
        return ReadFingerState(pinType, serialNumber);
    m_fingerInfo = TFingerInfo();
    if (pinType == SKF_ADMIN_TYPE)
        m_adminFingerCount = 0;
    else if (pinType == SKF_USER_TYPE)
        m_userFingerCount = 0;
    return SKF_NO_DEVICE;
}

uint32_t TSkfBinding::ReadFingerState(uint32_t pinType, const QByteArray& serialNumber)
{
    MatchTokenApplication(serialNumber);
    const uint32_t status = GetFingerInfo(m_currentApplication, pinType, m_fingerInfo);
    if (pinType == SKF_ADMIN_TYPE)
        m_adminFingerCount = m_fingerInfo.EnrolledCount;
    else if (pinType == SKF_USER_TYPE)
        m_userFingerCount = m_fingerInfo.EnrolledCount;
    return status;
}

DEVHANDLE TSkfBinding::deviceHandle(int device) const
{
    return device >= 0 && device < TGM_Info::Capacity ? m_deviceHandles[device] : nullptr;
}

const TGM_APPInfo& TSkfBinding::applications(int device) const
{
    static const TGM_APPInfo none;
    return device >= 0 && device < TGM_Info::Capacity ? m_applications[device] : none;
}
