// SPDX-License-Identifier: BSD-3-Clause
#include "HostQueries.h"

#include "LinuxHostQueries.h"

namespace {
HostQueries* g_installed = nullptr;
}

HostQueries::~HostQueries() = default;

HostQueries& HostQueries::instance()
{
    if (g_installed)
        return *g_installed;
    static LinuxHostQueries host;
    return host;
}

void HostQueries::install(HostQueries* queries)
{
    g_installed = queries;
}
