// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "VToken.h"

#include <QByteArray>
#include <QString>

// Virtual tokens for the service-layer tests and benchmarks, written straight into the token store so
// that states the library itself would not produce (oversized lists and certificates) can be set up.
class TokenFixture
{
public:
    static constexpr const char* UserPin = "12345678";
    static constexpr const char* SoPin = "87654321";

    // A sixteen-character serial; serials sort in the order of `index`.
    static QString serial(int index);
    static VToken token(int index);
    // A certificate half from the test data ("root" RSA 2048, "ca" RSA 3072, "user" EC P-256).
    static VToken::KeyHalf half(const QString& name);
    static QByteArray certificate(const QString& name);
    static VToken::Container container(const QByteArray& name);
    // Writes the token into the store of the current environment; false when it could not.
    static bool store(const VToken& token);
};
