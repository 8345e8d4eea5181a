// SPDX-License-Identifier: BSD-3-Clause
// Helper process for the store tests: changes one token over and over from outside the test process.
//   vtoken_writer count <folder> <serial> <n> [id]  adds n to a counter kept in the token's extensions, one
//                                                   write each; with an id, appends it to the token's log
//   vtoken_writer churn <folder> <serial>           rewrites the token with a large changing payload until
//                                                   killed
//   vtoken_writer hold <folder> <serial>            takes the token's lock and keeps it until killed
#include "VFileLock.h"
#include "VTokenStore.h"

#include <QCborMap>
#include <QCoreApplication>
#include <QTextStream>
#include <QThread>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 4)
        return 2;
    VTokenStore store(a[2]);
    // The writers here contend on purpose; however slow the machine, they wait for their turn.
    store.setLockTimeout(120000);
    const QString serial = a[3];
    if (a[1] == QLatin1String("count") && (a.size() == 5 || a.size() == 6)) {
        const int n = a[4].toInt();
        const QByteArray id = a.value(5).toLatin1();
        for (int i = 0; i < n; ++i) {
            const VTokenStore::Result r = store.update(serial, [&](VToken& t) {
                const qint64 v = t.extensions.value(QLatin1String("counter")).toInteger();
                t.extensions[QLatin1String("counter")] = v + 1;
                if (!id.isEmpty())
                    t.extensions[QLatin1String("log")] =
                        t.extensions.value(QLatin1String("log")).toByteArray() + id;
                return true;
            });
            if (r != VTokenStore::Result::Ok)
                return 1;
        }
        return 0;
    }
    if (a[1] == QLatin1String("hold")) {
        VFileLock lock(store.lockPath(serial));
        if (!lock.tryLock(60000))
            return 1;
        QTextStream(stdout) << "locked" << Qt::endl;
        for (;;)
            QThread::sleep(60);
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
