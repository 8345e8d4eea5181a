// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "TokenBench.h"

#include <functional>
#include <memory>

class TestEnv;
class VToken;

// Virtual tokens written straight into a token store of the test's own.
class VirtualTokenBench : public TokenBench
{
public:
    VirtualTokenBench();
    ~VirtualTokenBench() override;

    QString name() const override { return QStringLiteral("virtual device"); }
    QString unavailable() const override { return {}; }
    bool start() override;
    void stop() override;
    bool addToken(int i, const Token& token) override;
    QByteArray serial(int i) const override;
    QByteArray manufacturer() const override { return QByteArrayLiteral("Vostrel"); }
    int slots(int initialized, int uninitialized) const override { return initialized + uninitialized; }
    bool exactTries() const override { return true; }
    bool keepsEmptyContainers() const override { return true; }
    VirtualTokenBench* virtualDevice() override { return this; }

    // Token i as stored, and a change written to it.
    VToken read(int i) const;
    bool update(int i, const std::function<void(VToken&)>& fn);
    QString path(const QString& relative) const;

private:
    std::unique_ptr<TestEnv> m_env;
};
