// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The per-user certificate stores "MY", "ROOT" and "CA": one file each in the data folder, changed
// atomically under a lock. "MY" entries remember container, provider and KeySpec.
class CertStore
{
public:
    struct Entry
    {
        QByteArray certificate; // DER
        QByteArray container;
        QByteArray provider;
        int keySpec = 0;
    };

    // QX4100_CERT_STORE, else APPDATA's Vostrel/QX4100/CertStores, else the XDG data home's.
    static QString folder();

    static quint32 addPersonal(const QByteArray& container, const QByteArray& provider, int keySpec,
                               const QByteArray& der);
    static quint32 addAuthority(const QString& store, const QByteArray& der); // "ROOT" or "CA"
    static quint32 removeProvider(const QByteArray& provider);
    // Status and the entries of one store (an absent file is an empty store).
    static quint32 entries(const QString& store, QList<Entry>* out);
};
