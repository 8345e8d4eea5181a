// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <array>
#include <cstdint>

// Fingerprint state of one PIN type as the device library reports it.
struct TFingerInfo
{
    static constexpr uint32_t IdCapacity = 260;
    // How many FingerIds entries are offered to the library: one per finger.
    static constexpr uint32_t IdsOffered = 10;

    // Opaque to the tool; kept as the library returned them.
    uint32_t StatusA = 0;
    uint32_t StatusB = 0;
    uint32_t StatusC = 0;
    uint32_t RetriesLeft = 0;                    // 0: fingerprint verification is blocked
    std::array<uint8_t, IdCapacity> FingerIds{}; // enrolled finger numbers, 0 = empty entry
    uint32_t IdCount = 0;                        // valid entries of FingerIds, never above IdCapacity
    int32_t EnrolledCount = 0;                   // non-zero entries among the first IdCount
};
