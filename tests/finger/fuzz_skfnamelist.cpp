// SPDX-License-Identifier: BSD-3-Clause
// Feeds arbitrary bytes to the name-list splitting as if a device library had returned them.
#include "skf/TSkfBinding.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > TSkfBinding::NameListCapacity)
        return 0;
    const auto names = TSkfBinding::SplitNameList(reinterpret_cast<const char*>(data), uint32_t(size));
    for (const QByteArray& name : names) {
        if (name.isEmpty() || name.contains('\0') || name.contains('?'))
            std::abort();
    }
    return 0;
}
