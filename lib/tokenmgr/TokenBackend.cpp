#include "TokenBackend.h"

#include "Pkcs11Backend.h"
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
    std::unique_ptr<Pkcs11Module> m = Pkcs11Module::load(module);
    if (!m)
        return nullptr;
    return std::make_unique<Pkcs11Backend>(std::move(m));
}
