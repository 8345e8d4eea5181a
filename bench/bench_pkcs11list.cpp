// SPDX-License-Identifier: BSD-3-Clause
// Listing a SoftHSM2 token with 65 key pairs and their certificates: the library's reads for the
// certificate tree against `pkcs11-tool -O --login` on the same token, in one run. Goal: at most half
// the time of pkcs11-tool.
#include "SoftHsmToken.h"
#include "TokenMgr.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

const QByteArray UserPin("12345678");

double medianMs(const std::function<void()>& round, int rounds)
{
    round();
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        round();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// What the certificate tree reads: the names, then each container's certificate and key halves.
int listTree()
{
    token_reload_all_objects(0);
    static char names[8192];
    int32_t length = sizeof(names);
    if (container_load_all(0, names, &length) != TM_OK)
        return -1;
    int certs = 0;
    for (const QByteArray& name : QByteArray(names, length).split('\0')) {
        if (name.isEmpty())
            continue;
        for (int keySpec : {TM_KEYSPEC_EXCHANGE, TM_KEYSPEC_SIGNATURE}) {
            unsigned char der[16384];
            int32_t len = sizeof(der);
            if (container_get_cert(0, name.constData(), keySpec, der, &len) == TM_OK)
                ++certs;
            int32_t type = 0, bits = 0;
            unsigned char blob[256];
            int32_t blobLen = sizeof(blob);
            container_get_pubkey(0, name.constData(), keySpec, &type, &bits, blob, &blobLen);
            container_get_prikey(0, name.constData(), keySpec, &type, &bits);
        }
    }
    return certs;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    SoftHsmToken hsm;
    QTemporaryDir dir;
    const QString key = dir.path() + QStringLiteral("/k.pem"), cert = dir.path() + QStringLiteral("/c.pem"),
                  p12 = dir.path() + QStringLiteral("/k.p12");
    if (!hsm.ok() || !hsm.initToken(QStringLiteral("Bench"), UserPin, "87654321") ||
        !SoftHsmToken::run(QStringLiteral("openssl"),
                           {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                            QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                            QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes"),
                            QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert,
                            QStringLiteral("-subj"), QStringLiteral("/CN=Bench")}) ||
        !SoftHsmToken::run(QStringLiteral("openssl"),
                           {QStringLiteral("pkcs12"), QStringLiteral("-export"), QStringLiteral("-inkey"),
                            key, QStringLiteral("-in"), cert, QStringLiteral("-passout"),
                            QStringLiteral("pass:b"), QStringLiteral("-out"), p12})) {
        out << "SoftHSM2 or openssl is missing\n";
        return 1;
    }
    uint32_t ids[TM_MAX_SLOTS];
    int32_t count = TM_MAX_SLOTS, retries = 0, files = 0;
    if (init_pkcs11(SoftHsmToken::module().constData()) != TM_OK || token_find(ids, &count) != TM_OK ||
        token_connect(0) != TM_OK || token_login(0, UserPin.constData(), &retries) != TM_OK ||
        pkcs12_file_parse(p12.toLocal8Bit().constData(), "b", &files) != TM_OK) {
        out << "the token did not start\n";
        return 1;
    }
    for (int i = 0; i < 65; ++i) {
        const QByteArray name = "container " + QByteArray::number(i);
        if (container_create_new(0, name.constData()) != TM_OK ||
            pkcs12_import_certificate(0, name.constData(), 1 + i % 2, 0) != TM_OK) {
            out << "import " << i << " failed\n";
            return 1;
        }
    }
    int certs = 0;
    const double library = medianMs([&] { certs = listTree(); }, 21);
    const QStringList args = {QStringLiteral("--module"),
                              QString::fromLocal8Bit(SoftHsmToken::module()),
                              QStringLiteral("--token-label"),
                              QStringLiteral("Bench"),
                              QStringLiteral("-O"),
                              QStringLiteral("--login"),
                              QStringLiteral("--pin"),
                              QString::fromLatin1(UserPin)};
    const double tool = medianMs([&] { SoftHsmToken::run(QStringLiteral("pkcs11-tool"), args); }, 5);
    uninit_pkcs11();
    out << "certificates listed: " << certs << "\n";
    out << "library tree build:        " << library << " ms\n";
    out << "pkcs11-tool -O --login:    " << tool << " ms\n";
    out << "ratio (goal <= 0.5):       " << library / tool << "\n";
    return 0;
}
