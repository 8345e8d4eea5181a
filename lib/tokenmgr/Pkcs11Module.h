// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <p11-kit/pkcs11.h>

#include <QByteArray>

#include <memory>

// One loaded PKCS#11 module: the library handle, its function list, and the C_Initialize it owes a
// C_Finalize. Released in reverse order when the object goes.
class Pkcs11Module
{
public:
    // The module at `path` (a file name is looked up the way the dynamic loader does), or none when the
    // file is missing, is not a regular file, is not a library, lacks C_GetFunctionList or C_Initialize,
    // or its C_Initialize fails. A module that crashes inside its own C_Initialize takes the process
    // with it: PKCS#11 modules run in-process.
    static std::unique_ptr<Pkcs11Module> load(const QByteArray& path);
    Pkcs11Module() = default;
    ~Pkcs11Module();
    Pkcs11Module(const Pkcs11Module&) = delete;
    Pkcs11Module& operator=(const Pkcs11Module&) = delete;

    // The module's functions, each entry it left null answering CKR_FUNCTION_NOT_SUPPORTED, so no
    // caller ever jumps to address zero.
    CK_FUNCTION_LIST* f() { return &m_functions; }
    // True once the process has begun to exit. A library that was never finalized is torn down after
    // the modules it loaded have run their own destructors: nothing may call into them then.
    static bool exiting();

private:
    void* m_handle = nullptr;
    CK_FUNCTION_LIST m_functions = {};
    bool m_finalize = false;
};
