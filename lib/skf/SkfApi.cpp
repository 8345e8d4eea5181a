// SPDX-License-Identifier: BSD-3-Clause
// The exported functions of the SKF device library; each hands its arguments to the virtual devices.
#include "SKF.h"
#include "VirtualSkf.h"

namespace {
VirtualSkf& skf()
{
    return VirtualSkf::instance();
}
} // namespace

extern "C" {

uint32_t SKF_EnumDev(int32_t bPresent, char* szNameList, uint32_t* pulSize)
{
    return skf().enumDev(bPresent != 0, szNameList, pulSize);
}

uint32_t SKF_ConnectDev(const char* szName, DEVHANDLE* phDev)
{
    return skf().connectDev(szName, phDev);
}

uint32_t SKF_EnumApplication(DEVHANDLE hDev, char* szAppName, uint32_t* pulSize)
{
    return skf().enumApplication(hDev, szAppName, pulSize);
}

uint32_t SKF_OpenApplication(DEVHANDLE hDev, const char* szAppName, HAPPLICATION* phApplication)
{
    return skf().openApplication(hDev, szAppName, phApplication);
}

uint32_t SKF_VerifyPIN(HAPPLICATION hApplication, uint32_t ulPINType, const char* szPIN,
                       uint32_t* pulRetryCount)
{
    return skf().verifyPin(hApplication, ulPINType, szPIN, pulRetryCount);
}

uint32_t SKF_InitializeFinger(HAPPLICATION hApplication, uint32_t ulUserMaxRetries,
                              uint32_t ulAdminMaxRetries, uint32_t ulUserLevel, uint32_t ulAdminLevel)
{
    return skf().initializeFinger(hApplication, ulUserMaxRetries, ulAdminMaxRetries, ulUserLevel,
                                  ulAdminLevel);
}

uint32_t SKF_GetFingerInfo(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t* pulStatusA,
                           uint32_t* pulStatusB, uint32_t* pulStatusC, uint32_t* pulRetryCount,
                           uint8_t* pbFingerIds, uint32_t* pulIdCount)
{
    return skf().getFingerInfo(hApplication, ulPINType, pulStatusA, pulStatusB, pulStatusC, pulRetryCount,
                               pbFingerIds, pulIdCount);
}

uint32_t SKF_EnrollFingerInit(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t ulFingerId)
{
    return skf().enrollFingerInit(hApplication, ulPINType, ulFingerId);
}

uint32_t SKF_EnrollFinger(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t ulFingerId,
                          uint32_t* pulProgress)
{
    return skf().enrollFinger(hApplication, ulPINType, ulFingerId, pulProgress);
}

uint32_t SKF_VerifyFingerInit(HAPPLICATION hApplication, uint32_t ulPINType)
{
    return skf().verifyFingerInit(hApplication, ulPINType);
}

uint32_t SKF_TestFinger(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t* pulFingerId)
{
    return skf().testFinger(hApplication, ulPINType, pulFingerId);
}

uint32_t SKF_DeleteFinger(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t ulFingerId)
{
    return skf().deleteFinger(hApplication, ulPINType, ulFingerId);
}

uint32_t SKF_UnblockFinger(HAPPLICATION hApplication, uint32_t ulPINType)
{
    return skf().unblockFinger(hApplication, ulPINType);
}

uint32_t SKF_ClearSecureState(HAPPLICATION hApplication)
{
    return skf().clearSecureState(hApplication);
}

} // extern "C"
