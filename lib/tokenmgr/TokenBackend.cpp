#include "TokenBackend.h"

#include "VTokenStore.h"
#include "VirtualBackend.h"

bool TokenBackend::isVirtualModule(const QByteArray& module)
{
    const QByteArray m = module.toLower();
    return m.isEmpty() || m == "q7sec_pkcs11.dll" || m == "q7sec_pkcs11.so" || m == "libq7sec_pkcs11.so" ||
           m == "virtual";
}

std::unique_ptr<TokenBackend> TokenBackend::forModule(const QByteArray& module)
{
    if (isVirtualModule(module))
        return std::make_unique<VirtualBackend>(VTokenStore::defaultFolder());
    return nullptr; // real PKCS#11 modules are not served yet
}
