/* SPDX-License-Identifier: BSD-3-Clause */
/* A stand-in viewer library: answers with a code built from what it was handed, so a test can tell
 * that the token manager library found it and passed its arguments on. */
#include <stdint.h>

__attribute__((visibility("default"))) uint32_t tmui_show_cert(uintptr_t window, const unsigned char* data,
                                                               int32_t length)
{
    if (!data || length <= 0 || data[0] != 0x30)
        return 0x0C0000FFu;
    return 0x0C000000u | (uint32_t)((window & 0xF) << 16) | (uint32_t)(length & 0xFFFF);
}
