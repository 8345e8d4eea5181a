#include "Pkcs11Module.h"

#include <dlfcn.h>

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
    auto m = std::make_unique<Pkcs11Module>();
    m->m_handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m->m_handle)
        return nullptr;
    auto getList = reinterpret_cast<CK_C_GetFunctionList>(dlsym(m->m_handle, "C_GetFunctionList"));
    if (!getList || getList(&m->m_functions) != CKR_OK || !m->m_functions || !m->m_functions->C_Initialize)
        return nullptr;
    // Modules may be called from the import worker as well: let the module use the system's locks.
    CK_C_INITIALIZE_ARGS args;
    std::memset(&args, 0, sizeof(args));
    args.flags = CKF_OS_LOCKING_OK;
    const CK_RV rv = m->m_functions->C_Initialize(&args);
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
    if (m_finalize && m_functions)
        m_functions->C_Finalize(nullptr);
    if (m_handle)
        dlclose(m_handle);
}
