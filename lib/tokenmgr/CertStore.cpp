// SPDX-License-Identifier: BSD-3-Clause
#include "CertStore.h"

#include "TokenMgr.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <functional>

namespace {

QString storePath(const QString& store)
{
    return CertStore::folder() + QLatin1Char('/') + store + QStringLiteral(".json");
}

bool validStore(const QString& store)
{
    return store == QLatin1String("MY") || store == QLatin1String("ROOT") || store == QLatin1String("CA");
}

quint32 readStore(const QString& store, QList<CertStore::Entry>* out)
{
    QFile f(storePath(store));
    out->clear();
    if (!f.exists())
        return TM_OK;
    if (!f.open(QIODevice::ReadOnly))
        return TM_ERR_STORE;
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &err);
    if (err.error != QJsonParseError::NoError || !doc.isArray())
        return TM_ERR_STORE;
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        CertStore::Entry e;
        e.certificate = QByteArray::fromBase64(o.value(QLatin1String("cert")).toString().toLatin1());
        e.container = QByteArray::fromBase64(o.value(QLatin1String("container")).toString().toLatin1());
        e.provider = QByteArray::fromBase64(o.value(QLatin1String("provider")).toString().toLatin1());
        e.keySpec = o.value(QLatin1String("keySpec")).toInt();
        if (e.certificate.isEmpty())
            return TM_ERR_STORE;
        out->append(e);
    }
    return TM_OK;
}

bool writeStore(const QString& store, const QList<CertStore::Entry>& entries)
{
    QJsonArray a;
    for (const CertStore::Entry& e : entries) {
        QJsonObject o;
        o[QLatin1String("cert")] = QString::fromLatin1(e.certificate.toBase64());
        o[QLatin1String("container")] = QString::fromLatin1(e.container.toBase64());
        o[QLatin1String("provider")] = QString::fromLatin1(e.provider.toBase64());
        o[QLatin1String("keySpec")] = e.keySpec;
        o[QLatin1String("sha1")] =
            QString::fromLatin1(QCryptographicHash::hash(e.certificate, QCryptographicHash::Sha1).toHex());
        a.append(o);
    }
    QSaveFile f(storePath(store));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write(QJsonDocument(a).toJson());
    return f.commit();
}

// Read, change and write one store under the stores' lock. A store that cannot be read is left alone.
quint32 change(const QString& store, const std::function<bool(QList<CertStore::Entry>&)>& fn)
{
    QDir().mkpath(CertStore::folder());
    QLockFile lock(CertStore::folder() + QStringLiteral("/stores.lock"));
    if (!lock.tryLock(10000))
        return TM_ERR_STORE;
    QList<CertStore::Entry> entries;
    const quint32 r = readStore(store, &entries);
    if (r != TM_OK)
        return r;
    if (fn(entries) && !writeStore(store, entries))
        return TM_ERR_STORE;
    return TM_OK;
}

} // namespace

QString CertStore::folder()
{
    const QString env = qEnvironmentVariable("QX4100_CERT_STORE");
    if (!env.isEmpty())
        return env;
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty())
        return appData + QStringLiteral("/Vostrel/QX4100/CertStores");
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Vostrel/QX4100/CertStores");
}

quint32 CertStore::addPersonal(const QByteArray& container, const QByteArray& provider, int keySpec,
                               const QByteArray& der)
{
    return change(QStringLiteral("MY"), [&](QList<Entry>& entries) {
        for (const Entry& e : entries)
            if (e.certificate == der && e.container == container && e.provider == provider &&
                e.keySpec == keySpec)
                return false; // registering again adds nothing
        entries.append({der, container, provider, keySpec});
        return true;
    });
}

quint32 CertStore::addAuthority(const QString& store, const QByteArray& der)
{
    if (store == QLatin1String("MY") || !validStore(store))
        return TM_ERR_ARGUMENTS;
    return change(store, [&](QList<Entry>& entries) {
        for (const Entry& e : entries)
            if (e.certificate == der)
                return false;
        entries.append({der, {}, {}, 0});
        return true;
    });
}

quint32 CertStore::removeProvider(const QByteArray& provider)
{
    return change(QStringLiteral("MY"), [&](QList<Entry>& entries) {
        return entries.removeIf([&](const Entry& e) { return e.provider == provider; }) > 0;
    });
}

quint32 CertStore::entries(const QString& store, QList<Entry>* out)
{
    if (!validStore(store))
        return TM_ERR_ARGUMENTS;
    return readStore(store, out);
}
