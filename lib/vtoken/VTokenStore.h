// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "VToken.h"

#include <QString>
#include <QStringList>

#include <functional>

// The folder of virtual tokens: one file per token, each change written atomically under a
// cross-process lock. Reading needs no lock, since a file is only ever replaced whole.
class VTokenStore
{
public:
    enum class Result
    {
        Ok,
        Missing,
        Failing,
        Busy,
        WriteFailed,
        Exists,
        Unchanged
    };

    // QX4100_TOKEN_STORE, else the XDG data home's Vostrel/QX4100/tokens.
    static QString defaultFolder();

    // Tightens the folder and its files to owner-only (they hold private keys) the first time this
    // process opens the folder.
    explicit VTokenStore(const QString& folder = defaultFolder());

    // Creates `folder` (and its parents) with the folder itself owner-only; true when it exists.
    static bool makeFolder(const QString& folder);
    // Makes the folder and every file in it owner-only. When something was open to other users it
    // says so on standard error, once, since afterwards nothing is.
    void secure() const;

    QString folder() const { return m_folder; }
    QString tokenPath(const QString& serial) const;
    QString lockPath(const QString& serial) const;
    QString cdromPath(const QString& serial) const;

    // Serials of every token file, sorted; the folder is secured first.
    QStringList serials() const;
    // Missing, Failing (with the reason in `why`), or Ok with the token in `out`.
    Result load(const QString& serial, VToken* out, VToken::DecodeResult* why = nullptr) const;
    // The response that unlocks the token's user PIN for `challenge` (VToken::ChallengeBytes bytes),
    // plugged in or not: what an administrator hands back. Missing, Failing, or Ok with `response`.
    Result unlockResponse(const QString& serial, const QByteArray& challenge, QByteArray* response) const;

    // Loads the token under its lock and hands it to `change`; when that returns true the token is
    // written back with its generation raised. A failing file is never passed on nor overwritten.
    Result update(const QString& serial, const std::function<bool(VToken&)>& change, VToken* after = nullptr);
    // Writes a new token; Exists when one with that serial is there.
    Result create(VToken token);
    Result remove(const QString& serial);

    // A lock is held only while one token file is read and written; a writer waits the timing
    // record's lockTimeout for it, in turn with other waiters, before giving up with Busy.
    void setLockTimeout(int ms) { m_lockTimeout = ms; }

private:
    bool write(const QString& serial, const VToken& token) const;
    // Temporary files of writers killed mid-write; called with the token's lock held.
    void removeLeftovers(const QString& serial) const;
    QString m_folder;
    int m_lockTimeout;
};
