// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "token/KeySpec.h"
#include "token/TQ7Info.h"

#include <QtGlobal>

#include <array>

// Which certificates the last certificate tree build read, per token slot and container. The exchange
// entry holds 1 and the signature entry 2 when that certificate was read, else 0, so a non-zero entry
// is directly the KeySpec of a certificate that exists. There is room for every container of every
// slot the token table holds; a read outside gives 0 and a write outside is dropped.
class TContainerCertFlags
{
public:
    static constexpr int Tokens = 33;
    static constexpr int Containers = int(TQ7Info::MaxContainerNames);

    quint8 flag(int token, int container, KeySpec keySpec) const
    {
        return inRange(token, container, keySpec) ? m_flags[size_t(token)][size_t(container)][entry(keySpec)]
                                                  : 0;
    }

    // Records whether the certificate of `keySpec` was read.
    void set(int token, int container, KeySpec keySpec, bool present)
    {
        if (inRange(token, container, keySpec))
            m_flags[size_t(token)][size_t(container)][entry(keySpec)] = present ? quint8(keySpec) : 0;
    }

private:
    static size_t entry(KeySpec keySpec) { return keySpec == KeySpec::Exchange ? 0 : 1; }
    static bool inRange(int token, int container, KeySpec keySpec)
    {
        return token >= 0 && token < Tokens && container >= 0 && container < Containers &&
               (keySpec == KeySpec::Exchange || keySpec == KeySpec::Signature);
    }

    std::array<std::array<std::array<quint8, 2>, Containers>, Tokens> m_flags{};
};
