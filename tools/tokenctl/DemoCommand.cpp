// SPDX-License-Identifier: BSD-3-Clause
// tokenctl demo: a plugged-in, initialized token with keys and certificates to look at.
#include "TokenCtlRegistry.h"

#include "CertInfo.h"
#include "DemoPki.h"
#include "VToken.h"
#include "VTokenNotices.h"

#include <QRandomGenerator>

namespace {

const QByteArray DemoUserPin("12345678");
const QByteArray DemoSoPin("87654321");

VToken::KeyHalf half(const DemoPki::Issued& issued)
{
    VToken::KeyHalf h;
    CertInfo info;
    CertInfo::fromDer(issued.certificate, &info);
    h.certificate = issued.certificate;
    h.publicKey = info.publicKey;
    h.privateKey = issued.privateKey;
    h.keyType = info.keyType;
    h.keyBits = info.keyBits;
    return h;
}

int cmdDemo(TokenCtlContext& c)
{
    DemoPki pki;
    if (!pki.make(QStringLiteral("演示用户 Demo User"))) {
        c.err << "tokenctl: could not make the demo certificates\n";
        return 1;
    }
    QString serial = QStringLiteral("QX41DEMO");
    for (int i = 0; i < 8; ++i)
        serial += QString::number(QRandomGenerator::global()->bounded(16), 16).toUpper();
    VToken t = VToken::makeNew(serial, DemoUserPin, DemoSoPin);
    t.label = QStringLiteral("QX4100 DEMO 演示").toUtf8();
    t.cdromSectors = 2048; // 4 MiB
    VToken::Container user;
    user.name = QByteArray("DEMO-USER");
    user.exchange = half(pki.userExchange);
    user.signature = half(pki.userSignature);
    VToken::Container root;
    root.name = QByteArray("DEMO-ROOT");
    root.signature = half(pki.root);
    VToken::Container ca;
    ca.name = QByteArray("DEMO-CA");
    ca.signature = half(pki.ca);
    t.containers = {user, root, ca};
    const VTokenStore::Result r = c.store.create(t);
    if (r != VTokenStore::Result::Ok) {
        c.err << "tokenctl: the demo token could not be written\n";
        return 1;
    }
    VTokenNotices::post(c.store.folder(), VTokenNotices::Kind::Arrived, t.devicePath());
    c.out << "demo token " << serial << " (" << QString::fromUtf8(t.label) << ") plugged in\n"
          << "  user PIN: " << QString::fromLatin1(DemoUserPin) << "\n"
          << "  SO PIN:   " << QString::fromLatin1(DemoSoPin) << "\n";
    return 0;
}

const TokenCtlRegistry::Registration
    reg({QStringLiteral("demo"),
         QString(),
         QStringLiteral("creates a plugged-in demo token with an RSA exchange pair, "
                        "an EC signature pair, a root and a CA certificate"),
         {},
         0,
         0,
         cmdDemo});

} // namespace
