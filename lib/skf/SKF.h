// SPDX-License-Identifier: BSD-3-Clause
#pragma once

// Call contract of the SKF device library (smart-token interface with fingerprint extensions).
// The tool loads the library at run time and fetches these functions by name; every function
// returns a 32-bit status, 0 meaning success. Names are NUL-terminated narrow strings.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define SKF_EXPORT __attribute__((visibility("default")))
#else
#define SKF_EXPORT
#endif

typedef void* DEVHANDLE;
typedef void* HAPPLICATION;

// Status codes shared by the library and its callers.
#define SAR_OK 0x00000000u
#define SAR_FAIL 0x0A000001u
#define SAR_INVALIDHANDLEERR 0x0A000005u
#define SAR_INVALIDPARAMERR 0x0A000006u
#define SAR_BUFFER_TOO_SMALL 0x0A000020u
#define SAR_DEVICE_REMOVED 0x0A000023u
#define SAR_PIN_INCORRECT 0x0A000024u
#define SAR_PIN_LOCKED 0x0A000025u
#define SAR_PIN_LEN_RANGE 0x0A000027u
#define SAR_USER_NOT_LOGGED_IN 0x0A00002Du
#define SAR_APPLICATION_NOT_EXISTS 0x0A00002Eu
// Fingerprint extensions.
#define SAR_FINGER_PENDING 0x0B000039u
#define SAR_FINGER_FAILED 0x0B000040u
#define SAR_FINGER_EXIST 0x0C000001u
#define SAR_FINGER_NOT_EXIST 0x0C000002u
// Produced by the tool's binding itself, never by the library.
#define SKF_ENTRY_MISSING 0x0EEEEEEEu
#define SKF_NO_DEVICE 100u

// PIN types: the administrator (SO PIN holder) and the user.
#define SKF_ADMIN_TYPE 0u
#define SKF_USER_TYPE 1u
// Finger numbers are 1..10; this one names all fingers of a PIN type (deletion only).
#define SKF_ALL_FINGERS 255u

// Names of the present devices as NUL-terminated strings ended by an empty one; *pulSize is the
// buffer capacity in and the number of bytes used out.
SKF_EXPORT uint32_t SKF_EnumDev(int32_t bPresent, char* szNameList, uint32_t* pulSize);
SKF_EXPORT uint32_t SKF_ConnectDev(const char* szName, DEVHANDLE* phDev);
SKF_EXPORT uint32_t SKF_EnumApplication(DEVHANDLE hDev, char* szAppName, uint32_t* pulSize);
SKF_EXPORT uint32_t SKF_OpenApplication(DEVHANDLE hDev, const char* szAppName, HAPPLICATION* phApplication);
// Success logs that PIN type in.
SKF_EXPORT uint32_t SKF_VerifyPIN(HAPPLICATION hApplication, uint32_t ulPINType, const char* szPIN,
                                  uint32_t* pulRetryCount);
SKF_EXPORT uint32_t SKF_InitializeFinger(HAPPLICATION hApplication, uint32_t ulUserMaxRetries,
                                         uint32_t ulAdminMaxRetries, uint32_t ulUserLevel,
                                         uint32_t ulAdminLevel);
// Writes at most *pulIdCount finger numbers (1..10, 0 = empty) into pbFingerIds and returns the
// number of entries written in *pulIdCount.
SKF_EXPORT uint32_t SKF_GetFingerInfo(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t* pulStatusA,
                                      uint32_t* pulStatusB, uint32_t* pulStatusC, uint32_t* pulRetryCount,
                                      uint8_t* pbFingerIds, uint32_t* pulIdCount);
SKF_EXPORT uint32_t SKF_EnrollFingerInit(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t ulFingerId);
// SAR_FINGER_PENDING while samples are still needed; *pulProgress grows with each accepted sample.
SKF_EXPORT uint32_t SKF_EnrollFinger(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t ulFingerId,
                                     uint32_t* pulProgress);
SKF_EXPORT uint32_t SKF_VerifyFingerInit(HAPPLICATION hApplication, uint32_t ulPINType);
// SAR_FINGER_PENDING until a finger is read; on success names the matched finger.
SKF_EXPORT uint32_t SKF_TestFinger(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t* pulFingerId);
SKF_EXPORT uint32_t SKF_DeleteFinger(HAPPLICATION hApplication, uint32_t ulPINType, uint32_t ulFingerId);
SKF_EXPORT uint32_t SKF_UnblockFinger(HAPPLICATION hApplication, uint32_t ulPINType);
SKF_EXPORT uint32_t SKF_ClearSecureState(HAPPLICATION hApplication);

#ifdef __cplusplus
}
#endif
