/* SPDX-License-Identifier: BSD-3-Clause */
/* A PKCS#11 module that stands in front of a real one and injects named faults, so the token manager's
 * PKCS#11 backend can be tested on a token that goes away, a PIN that locks and flags no soft token sets.
 *
 * The real module is $QX_FAULTP11_TARGET (default SoftHSM2). Faults come from $QX_FAULTP11_FAULTS when
 * the module is first asked for its function list, or at any time from faultp11_set(), which a test
 * finds with dlsym. A fault list is names separated by spaces or commas:
 *
 *   removed@N[:device-removed|:token-not-present|:session-handle-invalid]
 *       every token goes away after N more calls: slot lists with tokenPresent leave it out, slot and
 *       token calls answer CKR_TOKEN_NOT_PRESENT, session calls the given code (CKR_DEVICE_REMOVED).
 *   inserted@N
 *       every token is away for the next N calls, then there (the removal codes as above).
 *   login:pin-incorrect | login:pin-locked | login:pin-len-range
 *       C_Login answers that code without asking the real module.
 *   flag:user-pin-locked | flag:user-pin-final-try | flag:user-pin-count-low | flag:so-pin-...
 *       C_GetTokenInfo reports the flag besides the real ones.
 *   hostile:null-functions
 *       the function list handed out from then on has every entry but C_Initialize, C_Finalize and
 *       C_GetFunctionList null.
 *   hostile:huge-slot-count
 *       C_GetSlotList reports 2^40 slots.
 *   hostile:objects-beyond-batch
 *       C_FindObjects reports 1000 more handles than it was asked for (and wrote).
 *   hostile:attribute-length
 *       C_GetAttributeValue reports 200 000 bytes for every CKA_ID and CKA_LABEL it answered.
 *   attributes:type-invalid-wins
 *       C_GetAttributeValue of several attributes answers CKR_ATTRIBUTE_TYPE_INVALID where the real
 *       module said CKR_BUFFER_TOO_SMALL, as modules may when both apply.
 *
 * An empty list clears every fault (the token is back). faultp11_calls() counts the calls made through
 * this module since the last faultp11_set(), so a test can remove the token at every step of a call. */
#include <p11-kit/pkcs11.h>

#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>

#define FAULTP11_API __attribute__((visibility("default")))

static CK_FUNCTION_LIST g_list;
static CK_FUNCTION_LIST* g_real;
static void* g_handle;

static int g_armed;           /* a removal is pending or has happened */
static unsigned long g_after; /* calls left before the token goes */
static int g_removed;
static unsigned long g_absentFor; /* calls for which the token has not arrived yet */
static CK_RV g_removedRv = CKR_DEVICE_REMOVED;
static CK_RV g_loginRv = CKR_OK;
static CK_FLAGS g_flags;
static unsigned long g_calls;
static int g_nullFunctions;
static int g_hugeSlotCount;
static int g_objectsBeyondBatch;
static int g_attributeLength;
static int g_typeInvalidWins;
static CK_FUNCTION_LIST g_nullList;

static void clearFaults(void)
{
    g_armed = 0;
    g_after = 0;
    g_removed = 0;
    g_absentFor = 0;
    g_removedRv = CKR_DEVICE_REMOVED;
    g_loginRv = CKR_OK;
    g_flags = 0;
    g_calls = 0;
    g_nullFunctions = 0;
    g_hugeSlotCount = 0;
    g_objectsBeyondBatch = 0;
    g_attributeLength = 0;
    g_typeInvalidWins = 0;
}

/* Counts a call and tells whether the token is gone for it. */
static int gone(void)
{
    ++g_calls;
    if (g_calls <= g_absentFor)
        return 1;
    if (g_armed && !g_removed) {
        if (g_after == 0)
            g_removed = 1;
        else
            --g_after;
    }
    return g_removed;
}

static int startsWith(const char* s, size_t n, const char* prefix)
{
    const size_t p = strlen(prefix);
    return n >= p && memcmp(s, prefix, p) == 0;
}

static int equals(const char* s, size_t n, const char* word)
{
    return n == strlen(word) && memcmp(s, word, n) == 0;
}

static int applyOne(const char* s, size_t n)
{
    static const struct
    {
        const char* name;
        CK_FLAGS flag;
    } flags[] = {{"flag:user-pin-locked", CKF_USER_PIN_LOCKED},
                 {"flag:user-pin-final-try", CKF_USER_PIN_FINAL_TRY},
                 {"flag:user-pin-count-low", CKF_USER_PIN_COUNT_LOW},
                 {"flag:so-pin-locked", CKF_SO_PIN_LOCKED},
                 {"flag:so-pin-final-try", CKF_SO_PIN_FINAL_TRY},
                 {"flag:so-pin-count-low", CKF_SO_PIN_COUNT_LOW}};
    for (size_t i = 0; i < sizeof(flags) / sizeof(flags[0]); ++i) {
        if (equals(s, n, flags[i].name)) {
            g_flags |= flags[i].flag;
            return 0;
        }
    }
    if (equals(s, n, "hostile:null-functions"))
        g_nullFunctions = 1;
    else if (equals(s, n, "hostile:huge-slot-count"))
        g_hugeSlotCount = 1;
    else if (equals(s, n, "hostile:objects-beyond-batch"))
        g_objectsBeyondBatch = 1;
    else if (equals(s, n, "hostile:attribute-length"))
        g_attributeLength = 1;
    else if (equals(s, n, "attributes:type-invalid-wins"))
        g_typeInvalidWins = 1;
    else if (equals(s, n, "login:pin-incorrect"))
        g_loginRv = CKR_PIN_INCORRECT;
    else if (equals(s, n, "login:pin-locked"))
        g_loginRv = CKR_PIN_LOCKED;
    else if (equals(s, n, "login:pin-len-range"))
        g_loginRv = CKR_PIN_LEN_RANGE;
    else if (startsWith(s, n, "inserted@")) {
        char text[32];
        if (n >= sizeof(text))
            return -1;
        memcpy(text, s, n);
        text[n] = '\0';
        char* end = NULL;
        g_absentFor = strtoul(text + 9, &end, 10);
        if (end == text + 9 || *end != '\0')
            return -1;
    } else if (startsWith(s, n, "removed@")) {
        char text[64];
        if (n >= sizeof(text))
            return -1;
        memcpy(text, s, n);
        text[n] = '\0';
        char* end = NULL;
        const unsigned long after = strtoul(text + 8, &end, 10);
        if (end == text + 8)
            return -1;
        if (*end == ':') {
            if (strcmp(end + 1, "device-removed") == 0)
                g_removedRv = CKR_DEVICE_REMOVED;
            else if (strcmp(end + 1, "token-not-present") == 0)
                g_removedRv = CKR_TOKEN_NOT_PRESENT;
            else if (strcmp(end + 1, "session-handle-invalid") == 0)
                g_removedRv = CKR_SESSION_HANDLE_INVALID;
            else
                return -1;
        } else if (*end != '\0') {
            return -1;
        }
        g_armed = 1;
        g_after = after;
    } else {
        return -1;
    }
    return 0;
}

/* Replaces every fault by the ones named; -1 (and no faults) for a name this module does not know. */
FAULTP11_API int faultp11_set(const char* faults)
{
    clearFaults();
    const char* s = faults ? faults : "";
    while (*s) {
        const size_t skip = strspn(s, " ,");
        s += skip;
        const size_t n = strcspn(s, " ,");
        if (n > 0 && applyOne(s, n) != 0) {
            clearFaults();
            return -1;
        }
        s += n;
    }
    return 0;
}

FAULTP11_API unsigned long faultp11_calls(void)
{
    return g_calls;
}

static CK_RV wInitialize(CK_VOID_PTR args)
{
    return g_real->C_Initialize(args);
}

static CK_RV wFinalize(CK_VOID_PTR reserved)
{
    return g_real->C_Finalize(reserved);
}

static CK_RV wGetSlotList(CK_BBOOL present, CK_SLOT_ID_PTR list, CK_ULONG_PTR count)
{
    if (gone() && present) {
        if (!count)
            return CKR_ARGUMENTS_BAD;
        *count = 0;
        return CKR_OK;
    }
    if (g_hugeSlotCount && count) {
        *count = (CK_ULONG)1 << 40;
        return list ? CKR_BUFFER_TOO_SMALL : CKR_OK;
    }
    return g_real->C_GetSlotList(present, list, count);
}

static CK_RV wGetSlotInfo(CK_SLOT_ID slot, CK_SLOT_INFO_PTR info)
{
    const int removed = gone();
    const CK_RV rv = g_real->C_GetSlotInfo(slot, info);
    if (rv == CKR_OK && removed)
        info->flags &= ~(CK_FLAGS)CKF_TOKEN_PRESENT;
    return rv;
}

static CK_RV wGetTokenInfo(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info)
{
    if (gone())
        return CKR_TOKEN_NOT_PRESENT;
    const CK_RV rv = g_real->C_GetTokenInfo(slot, info);
    if (rv == CKR_OK)
        info->flags |= g_flags;
    return rv;
}

static CK_RV wInitToken(CK_SLOT_ID slot, CK_UTF8CHAR_PTR pin, CK_ULONG len, CK_UTF8CHAR_PTR label)
{
    return gone() ? CKR_TOKEN_NOT_PRESENT : g_real->C_InitToken(slot, pin, len, label);
}

static CK_RV wOpenSession(CK_SLOT_ID slot, CK_FLAGS flags, CK_VOID_PTR app, CK_NOTIFY notify,
                          CK_SESSION_HANDLE_PTR session)
{
    return gone() ? CKR_TOKEN_NOT_PRESENT : g_real->C_OpenSession(slot, flags, app, notify, session);
}

static CK_RV wCloseSession(CK_SESSION_HANDLE session)
{
    /* The session ends either way; a token that went away says so. */
    const int removed = gone();
    const CK_RV rv = g_real->C_CloseSession(session);
    return removed ? g_removedRv : rv;
}

static CK_RV wCloseAllSessions(CK_SLOT_ID slot)
{
    const int removed = gone();
    const CK_RV rv = g_real->C_CloseAllSessions(slot);
    return removed ? CKR_TOKEN_NOT_PRESENT : rv;
}

static CK_RV wGetSessionInfo(CK_SESSION_HANDLE session, CK_SESSION_INFO_PTR info)
{
    return gone() ? g_removedRv : g_real->C_GetSessionInfo(session, info);
}

static CK_RV wInitPIN(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR pin, CK_ULONG len)
{
    return gone() ? g_removedRv : g_real->C_InitPIN(session, pin, len);
}

static CK_RV wSetPIN(CK_SESSION_HANDLE session, CK_UTF8CHAR_PTR oldPin, CK_ULONG oldLen,
                     CK_UTF8CHAR_PTR newPin, CK_ULONG newLen)
{
    return gone() ? g_removedRv : g_real->C_SetPIN(session, oldPin, oldLen, newPin, newLen);
}

static CK_RV wLogin(CK_SESSION_HANDLE session, CK_USER_TYPE user, CK_UTF8CHAR_PTR pin, CK_ULONG len)
{
    if (gone())
        return g_removedRv;
    return g_loginRv != CKR_OK ? g_loginRv : g_real->C_Login(session, user, pin, len);
}

static CK_RV wLogout(CK_SESSION_HANDLE session)
{
    return gone() ? g_removedRv : g_real->C_Logout(session);
}

static CK_RV wCreateObject(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR attrs, CK_ULONG count,
                           CK_OBJECT_HANDLE_PTR object)
{
    return gone() ? g_removedRv : g_real->C_CreateObject(session, attrs, count, object);
}

static CK_RV wDestroyObject(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object)
{
    return gone() ? g_removedRv : g_real->C_DestroyObject(session, object);
}

static CK_RV wGetAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR attrs,
                                CK_ULONG count)
{
    if (gone())
        return g_removedRv;
    CK_RV rv = g_real->C_GetAttributeValue(session, object, attrs, count);
    if (g_typeInvalidWins && count > 1 && rv == CKR_BUFFER_TOO_SMALL)
        rv = CKR_ATTRIBUTE_TYPE_INVALID;
    for (CK_ULONG i = 0; g_attributeLength && i < count; ++i)
        if ((attrs[i].type == CKA_ID || attrs[i].type == CKA_LABEL) && attrs[i].ulValueLen != (CK_ULONG)-1)
            attrs[i].ulValueLen = 200000;
    return rv;
}

static CK_RV wSetAttributeValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR attrs,
                                CK_ULONG count)
{
    return gone() ? g_removedRv : g_real->C_SetAttributeValue(session, object, attrs, count);
}

static CK_RV wFindObjectsInit(CK_SESSION_HANDLE session, CK_ATTRIBUTE_PTR attrs, CK_ULONG count)
{
    return gone() ? g_removedRv : g_real->C_FindObjectsInit(session, attrs, count);
}

static CK_RV wFindObjects(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE_PTR objects, CK_ULONG max,
                          CK_ULONG_PTR count)
{
    if (gone())
        return g_removedRv;
    const CK_RV rv = g_real->C_FindObjects(session, objects, max, count);
    if (rv == CKR_OK && g_objectsBeyondBatch && count && *count > 0)
        *count += 1000;
    return rv;
}

static CK_RV wFindObjectsFinal(CK_SESSION_HANDLE session)
{
    return gone() ? g_removedRv : g_real->C_FindObjectsFinal(session);
}

FAULTP11_API CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list)
{
    if (!list)
        return CKR_ARGUMENTS_BAD;
    if (!g_real) {
        const char* target = getenv("QX_FAULTP11_TARGET");
        void* handle =
            dlopen(target && *target ? target : "/usr/lib/softhsm/libsofthsm2.so", RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return CKR_GENERAL_ERROR;
        CK_C_GetFunctionList getList = (CK_C_GetFunctionList)dlsym(handle, "C_GetFunctionList");
        CK_FUNCTION_LIST* real = NULL;
        if (!getList || getList(&real) != CKR_OK || !real) {
            dlclose(handle);
            return CKR_GENERAL_ERROR;
        }
        /* The real module stays loaded as long as this one. */
        g_handle = handle;
        g_real = real;
        g_list = *real;
        g_list.C_Initialize = wInitialize;
        g_list.C_Finalize = wFinalize;
        g_list.C_GetFunctionList = C_GetFunctionList;
        g_list.C_GetSlotList = wGetSlotList;
        g_list.C_GetSlotInfo = wGetSlotInfo;
        g_list.C_GetTokenInfo = wGetTokenInfo;
        g_list.C_InitToken = wInitToken;
        g_list.C_OpenSession = wOpenSession;
        g_list.C_CloseSession = wCloseSession;
        g_list.C_CloseAllSessions = wCloseAllSessions;
        g_list.C_GetSessionInfo = wGetSessionInfo;
        g_list.C_InitPIN = wInitPIN;
        g_list.C_SetPIN = wSetPIN;
        g_list.C_Login = wLogin;
        g_list.C_Logout = wLogout;
        g_list.C_CreateObject = wCreateObject;
        g_list.C_DestroyObject = wDestroyObject;
        g_list.C_GetAttributeValue = wGetAttributeValue;
        g_list.C_SetAttributeValue = wSetAttributeValue;
        g_list.C_FindObjectsInit = wFindObjectsInit;
        g_list.C_FindObjects = wFindObjects;
        g_list.C_FindObjectsFinal = wFindObjectsFinal;
        if (faultp11_set(getenv("QX_FAULTP11_FAULTS")) != 0)
            return CKR_GENERAL_ERROR;
    }
    if (g_nullFunctions) {
        memset(&g_nullList, 0, sizeof(g_nullList));
        g_nullList.version = g_list.version;
        g_nullList.C_Initialize = g_list.C_Initialize;
        g_nullList.C_Finalize = g_list.C_Finalize;
        g_nullList.C_GetFunctionList = C_GetFunctionList;
        *list = &g_nullList;
        return CKR_OK;
    }
    *list = &g_list;
    return CKR_OK;
}
