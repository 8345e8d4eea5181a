// SPDX-License-Identifier: BSD-3-Clause
// How the library's reads grow with the containers on a token, and what one login costs.
// Prints the time per round for one and for 65 containers in the same run, and their ratio: reads
// that load the token again for every call grow with the square of the count.
#include "TestEnv.h"
#include "TokenFixture.h"

#include "token/CerMgrApis.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

using namespace CerMgrApis;

namespace {

// Median over rounds of at least 300 ms in all, after one warm-up round.
double medianMs(const std::function<void()>& round)
{
    round();
    std::vector<double> times;
    QElapsedTimer total;
    total.start();
    while (total.elapsed() < 300 || times.size() < 5) {
        QElapsedTimer t;
        t.start();
        round();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

VToken tokenWith(int index, int containers)
{
    VToken t = TokenFixture::token(index);
    t.totalMemory = 4 * 1024 * 1024;
    for (int c = 0; c < containers; ++c) {
        VToken::Container box = TokenFixture::container("container " + QByteArray::number(c));
        box.exchange = TokenFixture::half(QStringLiteral("user"));
        box.signature = TokenFixture::half(QStringLiteral("root"));
        t.containers.append(box);
    }
    return t;
}

bool readAll(qint32 slot, int expected)
{
    TQ7Info info;
    TQ7CertInfo cert;
    if (LoadContainerNames(slot, info) != TokenStatus::Success || info.ContainerCount != expected)
        return false;
    for (const QString& name : info.ContainerNames) {
        if (ReadCertificateInfo(slot, name, KeySpec::Exchange, cert) != TokenStatus::Success ||
            ReadCertificateInfo(slot, name, KeySpec::Signature, cert) != TokenStatus::Success)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    auto env = std::make_unique<TestEnv>(false);
    const int sizes[] = {1, 16, 65};
    for (int i = 0; i < 3; ++i) {
        if (!TokenFixture::store(tokenWith(i, sizes[i]))) {
            out << "cannot write the tokens\n";
            return 1;
        }
    }
    qint32 count = 0;
    if (InitTokenLibrary(QStringLiteral("q7sec_pkcs11.dll")) != TokenStatus::Success ||
        FindAndConnectTokens(count) != TokenStatus::Success || count != 3) {
        out << "cannot connect the tokens\n";
        return 1;
    }

    bool ok = true;
    double ms[3] = {};
    for (int i = 0; i < 3; ++i)
        ms[i] = medianMs([&] { ok = readAll(i, sizes[i]) && ok; });
    qint32 retries = 0;
    const double login = medianMs([&] {
        ok = LoginUser(0, QString::fromLatin1(TokenFixture::UserPin), retries) == TokenStatus::Success && ok;
    });
    FreeTokenLibrary();
    if (!ok) {
        out << "a call failed\n";
        return 1;
    }

    out << "names and both certificates with their information, per round:\n";
    for (int i = 0; i < 3; ++i)
        out << QStringLiteral("  %1 containers: %2 ms\n").arg(sizes[i], 2).arg(ms[i], 0, 'f', 3);
    out << QStringLiteral("  65 / 1 containers: %1x (linear growth would be about 65x; goal at most 80x)\n")
               .arg(ms[2] / ms[0], 0, 'f', 1);
    out << QStringLiteral("  65 containers: %1 ms (goal under 10 ms)\n").arg(ms[2], 0, 'f', 3);
    out << QStringLiteral("one user login: %1 ms (goal under 5 ms)\n").arg(login, 0, 'f', 3);
    return 0;
}
