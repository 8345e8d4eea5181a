// SPDX-License-Identifier: BSD-3-Clause
#include "TokenBench.h"

#include "SoftHsmTokenBench.h"
#include "VirtualTokenBench.h"

#include <QtGlobal>

QByteArray TokenBench::moduleName()
{
    const QByteArray m = qgetenv("QX_TOKENMGR_MODULE");
    return m.isEmpty() ? QByteArray("q7sec_pkcs11.dll") : m;
}

std::unique_ptr<TokenBench> TokenBench::fromEnvironment()
{
    // The names the library takes for the virtual device; any other module is taken for SoftHSM2.
    static const QByteArrayList virtualNames = {"", "q7sec_pkcs11.dll", "q7sec_pkcs11.so",
                                                "libq7sec_pkcs11.so", "virtual"};
    if (virtualNames.contains(moduleName().toLower()))
        return std::make_unique<VirtualTokenBench>();
    return std::make_unique<SoftHsmTokenBench>();
}
