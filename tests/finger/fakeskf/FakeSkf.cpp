// SPDX-License-Identifier: BSD-3-Clause
// A scriptable stand-in for the SKF device library. Tests load the same file as the binding and
// drive it through the FakeSkf_* functions: statuses per function, replies queued for the next
// calls, the raw name lists, the finger list, and a log of every call with its arguments.
// Built a second time without two exports to exercise missing entry points.

#include "SKF.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#define FAKESKF_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
struct Reply
{
    uint32_t status = SAR_OK;
    uint32_t out = 0;
    bool hasOut = false;
};

struct List
{
    std::string bytes;
    uint32_t reportedSize = 0;
};

struct State
{
    std::map<std::string, uint32_t> status;
    std::map<std::string, std::deque<Reply>> queued;
    std::map<std::string, List> lists;
    std::vector<std::string> handles; // handle n is handles[n - 1]
    std::string log;
    std::string lastName;
    std::vector<uint8_t> fingerIds;
    uint32_t fingerCount = 0;
    uint32_t retries = 0;
};

State& state()
{
    static State s;
    return s;
}

Reply next(const char* function)
{
    State& s = state();
    auto& queue = s.queued[function];
    if (!queue.empty()) {
        const Reply r = queue.front();
        queue.pop_front();
        return r;
    }
    return Reply{s.status[function], 0, false};
}

void* newHandle(const std::string& name)
{
    state().handles.push_back(name);
    return reinterpret_cast<void*>(uintptr_t(state().handles.size()));
}

std::string nameOf(const void* handle)
{
    const uintptr_t n = reinterpret_cast<uintptr_t>(handle);
    if (n == 0)
        return "null";
    if (n > state().handles.size())
        return "invalid";
    return state().handles[n - 1];
}

void record(const char* function, const std::string& args)
{
    state().log += std::string(function) + "(" + args + ")\n";
}

std::string num(uint32_t v)
{
    return std::to_string(v);
}

uint32_t fillList(const std::string& key, char* buffer, uint32_t* size)
{
    const Reply r = next(key.substr(0, key.find(':')).c_str());
    const auto it = state().lists.find(key);
    if (it == state().lists.end()) {
        *size = 0;
        return r.status;
    }
    const uint32_t n = std::min<uint32_t>(uint32_t(it->second.bytes.size()), *size);
    if (buffer)
        std::memcpy(buffer, it->second.bytes.data(), n);
    *size = it->second.reportedSize;
    return r.status;
}

void writeOut(const Reply& r, uint32_t* out)
{
    if (r.hasOut && out)
        *out = r.out;
}
} // namespace

FAKESKF_EXPORT void FakeSkf_Reset()
{
    state() = State();
}

FAKESKF_EXPORT void FakeSkf_SetStatus(const char* function, uint32_t status)
{
    state().status[function] = status;
}

FAKESKF_EXPORT void FakeSkf_Push(const char* function, uint32_t status, uint32_t out)
{
    state().queued[function].push_back(Reply{status, out, true});
}

// key: "SKF_EnumDev" or "SKF_EnumApplication:<device name>".
FAKESKF_EXPORT void FakeSkf_SetList(const char* key, const char* bytes, uint32_t length,
                                    uint32_t reportedSize)
{
    state().lists[key] = List{std::string(bytes, length), reportedSize};
}

FAKESKF_EXPORT void FakeSkf_SetFingers(uint32_t retries, const uint8_t* ids, uint32_t length,
                                       uint32_t reportedCount)
{
    state().retries = retries;
    state().fingerIds.assign(ids, ids + length);
    state().fingerCount = reportedCount;
}

FAKESKF_EXPORT const char* FakeSkf_Log()
{
    return state().log.c_str();
}

FAKESKF_EXPORT const char* FakeSkf_HandleName(void* handle)
{
    state().lastName = nameOf(handle);
    return state().lastName.c_str();
}

uint32_t SKF_EnumDev(int32_t bPresent, char* szNameList, uint32_t* pulSize)
{
    record(__func__, num(uint32_t(bPresent)) + "," + num(*pulSize));
    return fillList("SKF_EnumDev", szNameList, pulSize);
}

uint32_t SKF_ConnectDev(const char* szName, DEVHANDLE* phDev)
{
    record(__func__, szName);
    const Reply r = next(__func__);
    // A failed call leaves rubbish behind, as a careless library might.
    *phDev = r.status == SAR_OK ? newHandle(szName) : reinterpret_cast<void*>(uintptr_t(0xBAD));
    return r.status;
}

uint32_t SKF_EnumApplication(DEVHANDLE hDev, char* szAppName, uint32_t* pulSize)
{
    record(__func__, nameOf(hDev) + "," + num(*pulSize));
    return fillList("SKF_EnumApplication:" + nameOf(hDev), szAppName, pulSize);
}

uint32_t SKF_OpenApplication(DEVHANDLE hDev, const char* szAppName, HAPPLICATION* phApplication)
{
    record(__func__, nameOf(hDev) + "," + szAppName);
    const Reply r = next(__func__);
    *phApplication = r.status == SAR_OK ? newHandle(nameOf(hDev) + "/" + szAppName)
                                        : reinterpret_cast<void*>(uintptr_t(0xBAD));
    return r.status;
}

uint32_t SKF_VerifyPIN(HAPPLICATION hApplication, uint32_t ulPINType, const char* szPIN,
                       uint32_t* pulRetryCount)
{
    record(__func__, nameOf(hApplication) + "," + num(ulPINType) + "," + szPIN);
    const Reply r = next(__func__);
    writeOut(r, pulRetryCount);
    return r.status;
}

uint32_t SKF_InitializeFinger(HAPPLICATION hApplication, uint32_t ulUserMaxRetries,
                              uint32_t ulAdminMaxRetries, uint32_t ulUserLevel, uint32_t ulAdminLevel)
{
    record(__func__, nameOf(hApplication) + "," + num(ulUserMaxRetries) + "," + num(ulAdminMaxRetries) + "," +
                         num(ulUserLevel) + "," + num(ulAdminLevel));
    return next(__func__).status;
}

#ifndef FAKESKF_PARTIAL
uint32_t SKF_GetFingerInfo(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t* pulStatusA,
                           uint32_t* pulStatusB, uint32_t* pulStatusC, uint32_t* pulRetryCount,
                           uint8_t* pbFingerIds, uint32_t* pulIdCount)
{
    record(__func__, nameOf(hApplication) + "," + num(ulPINType) + "," + num(*pulIdCount));
    const Reply r = next(__func__);
    const State& s = state();
    *pulStatusA = 0xA;
    *pulStatusB = 0xB;
    *pulStatusC = 0xC;
    *pulRetryCount = s.retries;
    const uint32_t n = std::min<uint32_t>(uint32_t(s.fingerIds.size()), *pulIdCount);
    if (n > 0)
        std::memcpy(pbFingerIds, s.fingerIds.data(), n);
    *pulIdCount = s.fingerCount;
    return r.status;
}
#endif

uint32_t SKF_EnrollFingerInit(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t ulFingerId)
{
    record(__func__, nameOf(hApplication) + "," + num(ulPINType) + "," + num(ulFingerId));
    return next(__func__).status;
}

uint32_t SKF_EnrollFinger(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t ulFingerId,
                          uint32_t* pulProgress)
{
    record(__func__, nameOf(hApplication) + "," + num(ulPINType) + "," + num(ulFingerId));
    const Reply r = next(__func__);
    writeOut(r, pulProgress);
    return r.status;
}

uint32_t SKF_VerifyFingerInit(HAPPLICATION hApplication, uint32_t ulPINType)
{
    record(__func__, nameOf(hApplication) + "," + num(ulPINType));
    return next(__func__).status;
}

#ifndef FAKESKF_PARTIAL
uint32_t SKF_TestFinger(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t* pulFingerId)
{
    record(__func__, nameOf(hApplication) + "," + num(ulPINType));
    const Reply r = next(__func__);
    writeOut(r, pulFingerId);
    return r.status;
}
#endif

uint32_t SKF_DeleteFinger(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t ulFingerId)
{
    record(__func__, nameOf(hApplication) + "," + num(ulPINType) + "," + num(ulFingerId));
    return next(__func__).status;
}

uint32_t SKF_UnblockFinger(HAPPLICATION hApplication, uint32_t ulPINType)
{
    record(__func__, nameOf(hApplication) + "," + num(ulPINType));
    return next(__func__).status;
}

uint32_t SKF_ClearSecureState(HAPPLICATION hApplication)
{
    record(__func__, nameOf(hApplication));
    return next(__func__).status;
}
