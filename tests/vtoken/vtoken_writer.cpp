// Helper process for the store tests: changes one token over and over from outside the test process.
//   vtoken_writer count <folder> <serial> <n>  adds n to a counter kept in the token's extensions, one write
//   each vtoken_writer churn <folder> <serial>      rewrites the token with a large changing payload until
//   killed
#include "VTokenStore.h"

#include <QCborMap>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 4)
        return 2;
    VTokenStore store(a[2]);
    const QString serial = a[3];
    if (a[1] == QLatin1String("count") && a.size() == 5) {
        const int n = a[4].toInt();
        for (int i = 0; i < n; ++i) {
            const VTokenStore::Result r = store.update(serial, [](VToken& t) {
                const qint64 v = t.extensions.value(QLatin1String("counter")).toInteger();
                t.extensions[QLatin1String("counter")] = v + 1;
                return true;
            });
            if (r != VTokenStore::Result::Ok)
                return 1;
        }
        return 0;
    }
    if (a[1] == QLatin1String("churn")) {
        QTextStream out(stdout);
        for (qint64 round = 1;; ++round) {
            store.update(serial, [&](VToken& t) {
                // Every byte of the payload tells the round, so a mix of two writes would show.
                t.extensions[QLatin1String("round")] = round;
                t.extensions[QLatin1String("payload")] = QByteArray(512 * 1024, char('A' + round % 26));
                return true;
            });
            if (round == 1) {
                out << "started\n";
                out.flush();
            }
        }
    }
    return 2;
}
