// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QtGlobal>

// Which of a container's two certificate and key pairs is meant (the CryptoAPI numbering).
enum class KeySpec : qint32
{
    Exchange = 1,
    Signature = 2,
};
