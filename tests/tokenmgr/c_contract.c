/* SPDX-License-Identifier: BSD-3-Clause */
/* Compiled as C: the contract header must stand on its own in a C translation unit and link. */
#include "TokenMgr.h"

#include <stdio.h>

int main(void)
{
    int32_t count = TM_MAX_SLOTS;
    uint32_t ids[TM_MAX_SLOTS];
    tm_date from;
    tm_status s = token_find(ids, &count);
    (void)from;
    if (s == TM_OK) {
        fprintf(stderr, "token_find succeeded before init_pkcs11\n");
        return 1;
    }
    if (count != 0) {
        fprintf(stderr, "token_find reported %d tokens before init_pkcs11\n", (int)count);
        return 1;
    }
    return 0;
}
