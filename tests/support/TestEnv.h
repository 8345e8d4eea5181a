// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>
#include <QTemporaryDir>

// Gives a test its own application directory, settings directory (APPDATA) and token store
// (QX4100_TOKEN_STORE), so nothing touches the real home folder. The application directory starts
// as a copy of the build's Languages/ and res/ when `withAppData` is set.
class TestEnv
{
public:
    explicit TestEnv(bool withAppData = true);
    ~TestEnv();

    QString appDir() const;      // with trailing separator
    QString appDataDir() const;  // the APPDATA value
    QString settingsDir() const; // APPDATA/Vostrel/QX4100/
    QString tokenStore() const;
    QString path(const QString& relative) const; // a path inside the temporary root

private:
    QTemporaryDir m_root;
};
