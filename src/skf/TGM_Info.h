// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

// The SKF devices found by the last enumeration; entry i of Names is device i.
struct TGM_Info
{
    static constexpr int Capacity = 33;

    int32_t Count = 0;
    std::array<QByteArray, Capacity> Names; // narrow, system code page
};
