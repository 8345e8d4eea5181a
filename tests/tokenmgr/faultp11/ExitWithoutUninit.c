/* SPDX-License-Identifier: BSD-3-Clause */
/* A program that connects the tokens of the PKCS#11 module named by its argument and ends without
 * uninit_pkcs11, as a program that quits in a hurry does. It must end normally: exit code 0. */
#include "TokenMgr.h"

int main(int argc, char** argv)
{
    if (argc != 2 || init_pkcs11(argv[1]) != TM_OK)
        return 2;
    uint32_t ids[TM_MAX_SLOTS];
    int32_t count = TM_MAX_SLOTS;
    if (token_find(ids, &count) != TM_OK || count == 0)
        return 3;
    for (int32_t i = 0; i < count; ++i)
        token_connect(i);
    return 0;
}
