// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QtGlobal>

// Public key algorithm as the library reports it (PKCS#11 key-type numbers). The records keep the raw
// value in a qint32 because the library may report others; those are shown as RSA.
enum class KeyType : qint32
{
    Rsa = 0,
    Ecc = 3,
};
