// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "app/PageId.h"

#include <array>

class TPage;
struct TProgramState;

// The one list of the main window's pages: which page each identity stands for and what builds it.
// The page control holds them in this order.
namespace PageTable {

struct Entry
{
    PageId id;
    TPage* (*make)(TProgramState& state);
};

const std::array<Entry, PageCount>& entries();

} // namespace PageTable
