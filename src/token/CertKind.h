// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QtGlobal>

// Kind of a certificate as the library classifies it.
enum class CertKind : qint32
{
    EndEntity = 0,
    Root = 1, // self-signed
    Ca = 2,   // intermediate CA
};
