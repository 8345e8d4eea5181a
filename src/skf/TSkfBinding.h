// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "SKF.h"
#include "skf/TFingerInfo.h"
#include "skf/TGM_APPInfo.h"
#include "skf/TGM_Info.h"

#include <QByteArray>
#include <QLibrary>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

// The only door to the SKF device library: loads it from the application directory, forwards each
// library function unchanged (SKF_ENTRY_MISSING when the library or the export is absent), and keeps
// the device and application tables, the current application and the fingerprint state read last.
// One instance lives for the whole program; without the library everything else keeps working.
class TSkfBinding
{
public:
    static constexpr uint32_t NameListCapacity = 4096;
    static const char* const LibraryFileName;
    static const char* const FallbackLibraryFileName;

    TSkfBinding() = default;
    // Loads the library from `applicationDir` at once.
    explicit TSkfBinding(const QString& applicationDir);
    ~TSkfBinding();
    TSkfBinding(const TSkfBinding&) = delete;
    TSkfBinding& operator=(const TSkfBinding&) = delete;

    // Tries the library file, then the fallback file, in `applicationDir`; nothing is reported when
    // neither loads. A library loaded before is unloaded first.
    void load(const QString& applicationDir);
    void unload();
    bool isLoaded() const { return m_library.isLoaded(); }
    // The path of the file loaded, or of the last one tried.
    QString libraryPath() const { return m_libraryPath; }

    // One operation per library function, same arguments in the same order.
    uint32_t EnumDev(bool presentOnly, char* nameList, uint32_t* size);
    uint32_t ConnectDev(const char* name, DEVHANDLE* device);
    uint32_t EnumApplication(DEVHANDLE device, char* nameList, uint32_t* size);
    uint32_t OpenApplication(DEVHANDLE device, const char* name, HAPPLICATION* application);
    uint32_t VerifyPIN(HAPPLICATION application, uint32_t pinType, const char* pin, uint32_t* retriesLeft);
    // Converts to the system code page and wipes the narrow copy afterwards.
    uint32_t VerifyPIN(HAPPLICATION application, uint32_t pinType, const QString& pin, uint32_t* retriesLeft);
    uint32_t InitFinger(HAPPLICATION application, uint32_t userMaxRetries, uint32_t adminMaxRetries,
                        uint32_t userLevel, uint32_t adminLevel);
    uint32_t EnrollFingerInit(HAPPLICATION application, uint32_t pinType, uint32_t finger);
    uint32_t EnrollFinger(HAPPLICATION application, uint32_t pinType, uint32_t finger, uint32_t* progress);
    uint32_t VerifyFingerInit(HAPPLICATION application, uint32_t pinType);
    uint32_t TestFinger(HAPPLICATION application, uint32_t pinType, uint32_t* matchedFinger);
    uint32_t DeleteFinger(HAPPLICATION application, uint32_t pinType, uint32_t finger);
    // Offers 10 entries, clamps the count the library returns to the buffer and counts the
    // enrolled fingers; EnrolledCount stays 0 on failure.
    uint32_t GetFingerInfo(HAPPLICATION application, uint32_t pinType, TFingerInfo& info);
    uint32_t UnblockFinger(HAPPLICATION application, uint32_t pinType);
    uint32_t ClearSecureState(HAPPLICATION application);

    // Enumerates and connects all devices into `info` and the device handle table.
    uint32_t GetDevInfo(TGM_Info& info);
    // Enumerates and opens all applications of connected device `device`.
    uint32_t GetAppInfo(int device, TGM_APPInfo& info);
    // Rebuilds the device list and the application table, makes device 0's first application current,
    // selects the user PIN type and asks the fingerprint page to redraw.
    uint32_t LoadFingerDevices();
    // Makes current the first application of the last device whose name starts with the same
    // 16 characters as `serialNumber`; without a match the current application stays.
    void MatchTokenApplication(const QByteArray& serialNumber);
    // Matches the token, reads the finger state of `pinType` into fingerInfo() and caches its
    // enrolled count for that PIN type. The status is for callers that want it.
    uint32_t ReadFingerState(uint32_t pinType, const QByteArray& serialNumber);
    // The first application of the last device whose name starts with the same 16 characters as
    // `serialNumber`; nullptr when no device belongs to that token.
    HAPPLICATION TokenApplication(const QByteArray& serialNumber) const;
    // Like ReadFingerState, but for that token only: without a device of its own the token has no
    // fingers (record and cached count cleared, SKF_NO_DEVICE), instead of another token's.
    uint32_t ReadTokenFingerState(uint32_t pinType, const QByteArray& serialNumber);

    // The names of a list the library returned (`size` bytes used): NUL-separated, empty names
    // dropped; a question mark inside a name comes back as a space.
    static QList<QByteArray> SplitNameList(const char* buffer, uint32_t size);

    const TGM_Info& devices() const { return m_devices; }
    DEVHANDLE deviceHandle(int device) const;
    const TGM_APPInfo& applications(int device) const;
    HAPPLICATION currentApplication() const { return m_currentApplication; }
    uint32_t currentPinType() const { return m_currentPinType; }
    void setCurrentPinType(uint32_t pinType) { m_currentPinType = pinType; }
    const TFingerInfo& fingerInfo() const { return m_fingerInfo; }
    TFingerInfo& fingerInfo() { return m_fingerInfo; }
    int32_t userFingerCount() const { return m_userFingerCount; }
    int32_t adminFingerCount() const { return m_adminFingerCount; }
    bool fingerFlag() const { return m_fingerFlag; }
    void setFingerFlag(bool on) { m_fingerFlag = on; }
    // Redraws the fingerprint page for a PIN type; installed by the page, run by LoadFingerDevices.
    void setFingerPageRefresher(std::function<void(uint32_t)> refresher)
    {
        m_refreshPage = std::move(refresher);
    }

private:
    template <typename Fn, typename... Args> uint32_t call(const char* name, Args... args);

    QLibrary m_library;
    QString m_libraryPath;
    TGM_Info m_devices;
    std::array<DEVHANDLE, TGM_Info::Capacity> m_deviceHandles{};
    std::array<TGM_APPInfo, TGM_Info::Capacity> m_applications;
    HAPPLICATION m_currentApplication = nullptr;
    uint32_t m_currentPinType = SKF_USER_TYPE;
    TFingerInfo m_fingerInfo;
    int32_t m_userFingerCount = 0;
    int32_t m_adminFingerCount = 0;
    bool m_fingerFlag = false;
    std::function<void(uint32_t)> m_refreshPage;
};
