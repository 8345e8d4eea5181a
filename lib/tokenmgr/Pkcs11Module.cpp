// SPDX-License-Identifier: BSD-3-Clause
#include "Pkcs11Module.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::atomic<bool> g_exiting{false};

void markExiting()
{
    g_exiting = true;
}

template <typename... Args> CK_RV notSupported(Args...)
{
    return CKR_FUNCTION_NOT_SUPPORTED;
}

template <typename... Args> void orNotSupported(CK_RV (*&fn)(Args...))
{
    if (!fn)
        fn = &notSupported<Args...>;
}

// Every entry a module left null answers "not supported" instead of crashing the caller.
void fillGaps(CK_FUNCTION_LIST& l)
{
    orNotSupported(l.C_Finalize);
    orNotSupported(l.C_GetInfo);
    orNotSupported(l.C_GetFunctionList);
    orNotSupported(l.C_GetSlotList);
    orNotSupported(l.C_GetSlotInfo);
    orNotSupported(l.C_GetTokenInfo);
    orNotSupported(l.C_GetMechanismList);
    orNotSupported(l.C_GetMechanismInfo);
    orNotSupported(l.C_InitToken);
    orNotSupported(l.C_InitPIN);
    orNotSupported(l.C_SetPIN);
    orNotSupported(l.C_OpenSession);
    orNotSupported(l.C_CloseSession);
    orNotSupported(l.C_CloseAllSessions);
    orNotSupported(l.C_GetSessionInfo);
    orNotSupported(l.C_GetOperationState);
    orNotSupported(l.C_SetOperationState);
    orNotSupported(l.C_Login);
    orNotSupported(l.C_Logout);
    orNotSupported(l.C_CreateObject);
    orNotSupported(l.C_CopyObject);
    orNotSupported(l.C_DestroyObject);
    orNotSupported(l.C_GetObjectSize);
    orNotSupported(l.C_GetAttributeValue);
    orNotSupported(l.C_SetAttributeValue);
    orNotSupported(l.C_FindObjectsInit);
    orNotSupported(l.C_FindObjects);
    orNotSupported(l.C_FindObjectsFinal);
    orNotSupported(l.C_EncryptInit);
    orNotSupported(l.C_Encrypt);
    orNotSupported(l.C_EncryptUpdate);
    orNotSupported(l.C_EncryptFinal);
    orNotSupported(l.C_DecryptInit);
    orNotSupported(l.C_Decrypt);
    orNotSupported(l.C_DecryptUpdate);
    orNotSupported(l.C_DecryptFinal);
    orNotSupported(l.C_DigestInit);
    orNotSupported(l.C_Digest);
    orNotSupported(l.C_DigestUpdate);
    orNotSupported(l.C_DigestKey);
    orNotSupported(l.C_DigestFinal);
    orNotSupported(l.C_SignInit);
    orNotSupported(l.C_Sign);
    orNotSupported(l.C_SignUpdate);
    orNotSupported(l.C_SignFinal);
    orNotSupported(l.C_SignRecoverInit);
    orNotSupported(l.C_SignRecover);
    orNotSupported(l.C_VerifyInit);
    orNotSupported(l.C_Verify);
    orNotSupported(l.C_VerifyUpdate);
    orNotSupported(l.C_VerifyFinal);
    orNotSupported(l.C_VerifyRecoverInit);
    orNotSupported(l.C_VerifyRecover);
    orNotSupported(l.C_DigestEncryptUpdate);
    orNotSupported(l.C_DecryptDigestUpdate);
    orNotSupported(l.C_SignEncryptUpdate);
    orNotSupported(l.C_DecryptVerifyUpdate);
    orNotSupported(l.C_GenerateKey);
    orNotSupported(l.C_GenerateKeyPair);
    orNotSupported(l.C_WrapKey);
    orNotSupported(l.C_UnwrapKey);
    orNotSupported(l.C_DeriveKey);
    orNotSupported(l.C_SeedRandom);
    orNotSupported(l.C_GenerateRandom);
    orNotSupported(l.C_GetFunctionStatus);
    orNotSupported(l.C_CancelFunction);
    orNotSupported(l.C_WaitForSlotEvent);
}

} // namespace

bool Pkcs11Module::exiting()
{
    return g_exiting;
}

std::unique_ptr<Pkcs11Module> Pkcs11Module::load(const QByteArray& path)
{
    // Registered while the program runs, so it runs before the loader tears the libraries down.
    static std::once_flag once;
    std::call_once(once, [] { std::atexit(markExiting); });
    // A path names a file the loader reads: only a regular one, since a FIFO or a device would block
    // the loader's read for good. A bare name is the loader's own search among library folders.
    if (path.contains('/')) {
        struct stat st = {};
        if (::stat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
            return nullptr;
    }
    auto m = std::make_unique<Pkcs11Module>();
    m->m_handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m->m_handle)
        return nullptr;
    auto getList = reinterpret_cast<CK_C_GetFunctionList>(dlsym(m->m_handle, "C_GetFunctionList"));
    CK_FUNCTION_LIST* list = nullptr;
    if (!getList || getList(&list) != CKR_OK || !list || !list->C_Initialize)
        return nullptr;
    m->m_functions = *list;
    fillGaps(m->m_functions);
    // Modules may be called from the import worker as well: let the module use the system's locks.
    CK_C_INITIALIZE_ARGS args;
    std::memset(&args, 0, sizeof(args));
    args.flags = CKF_OS_LOCKING_OK;
    const CK_RV rv = m->m_functions.C_Initialize(&args);
    if (rv != CKR_OK && rv != CKR_CRYPTOKI_ALREADY_INITIALIZED)
        return nullptr;
    // Another user of the module in this process initialized it first; finalizing is theirs.
    m->m_finalize = rv == CKR_OK;
    return m;
}

Pkcs11Module::~Pkcs11Module()
{
    if (g_exiting)
        return; // the module may already be gone; the process ends anyway
    if (m_finalize)
        m_functions.C_Finalize(nullptr);
    if (m_handle)
        dlclose(m_handle);
}
