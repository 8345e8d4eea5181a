// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "TokenBench.h"

#include <memory>

class SoftHsmToken;

// SoftHSM2 tokens in a SOFTHSM2_CONF of the bench's own: made by softhsm2-util (once per label and
// containers, then copied), their containers written through the library's own import. The token that is not
// initialized is the free slot SoftHSM2 always offers, so a bench has at most one.
class SoftHsmTokenBench : public TokenBench
{
public:
    SoftHsmTokenBench();
    ~SoftHsmTokenBench() override;

    QString name() const override { return QStringLiteral("SoftHSM2"); }
    QString unavailable() const override;
    bool start() override;
    void stop() override;
    bool addToken(int i, const Token& token) override;
    QByteArray serial(int) const override { return {}; } // chosen by SoftHSM2
    QByteArray manufacturer() const override { return QByteArrayLiteral("SoftHSM project"); }
    int slots(int initialized, int) const override { return initialized + 1; }
    bool exactTries() const override { return false; }
    bool keepsEmptyContainers() const override { return false; }

private:
    bool addContainers(const QByteArray& label, const QList<QByteArray>& names,
                       const QList<QByteArray>& privateKeyOnly);
    // Another PKCS#11 program's way to leave a private key alone: its public key object destroyed.
    bool deletePublicKeys(const QByteArray& label, const QList<QByteArray>& names);

    std::unique_ptr<SoftHsmToken> m_hsm;
    bool m_freeSlotTaken = false;
};
