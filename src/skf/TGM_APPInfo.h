// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "SKF.h"

#include <QByteArray>

#include <array>
#include <cstdint>

// The applications of one SKF device; Handles[j] was opened for Names[j] (null when that failed).
struct TGM_APPInfo
{
    static constexpr int Capacity = 9;

    int32_t Count = 0;
    std::array<QByteArray, Capacity> Names;
    std::array<HAPPLICATION, Capacity> Handles{};
};
