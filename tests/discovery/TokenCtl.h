// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>
#include <QStringList>

// Drives the build's tokenctl on the test's token store (QX4100_TOKEN_STORE, set by TestEnv).
class TokenCtl
{
public:
    // Runs one command; false (with the output in a warning) when it fails.
    static bool run(const QStringList& args, QString* out = nullptr);
    // Creates a token with the given serial and properties (tokenctl create options).
    static bool create(const QString& serial, const QStringList& options = {});
    static bool plug(const QString& serial) { return run({QStringLiteral("plug"), serial}); }
    static bool pull(const QString& serial) { return run({QStringLiteral("pull"), serial}); }
    static bool fault(const QString& serial, const QStringList& fault);
};
