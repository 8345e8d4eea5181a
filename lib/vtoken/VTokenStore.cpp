// SPDX-License-Identifier: BSD-3-Clause
#include "VTokenStore.h"

#include "VDecodedTokens.h"
#include "VFileLock.h"
#include "VTimings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString Suffix = QStringLiteral(".qxtoken");

// An open descriptor that closes itself.
struct Fd
{
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

QString VTokenStore::defaultFolder()
{
    const QString env = qEnvironmentVariable("QX4100_TOKEN_STORE");
    if (!env.isEmpty())
        return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Vostrel/QX4100/tokens");
}

VTokenStore::VTokenStore(const QString& folder)
    : m_folder(folder), m_lockTimeout(VTimings::current().lockTimeout)
{
    static QMutex mutex;
    static QSet<QString> secured;
    const QMutexLocker lock(&mutex);
    if (!secured.contains(m_folder)) {
        secured.insert(m_folder);
        secure();
    }
}

bool VTokenStore::makeFolder(const QString& folder)
{
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    const QByteArray name = QFile::encodeName(folder);
    return ::mkdir(name.constData(), 0700) == 0 || (errno == EEXIST && QFileInfo(folder).isDir());
}

void VTokenStore::secure() const
{
    const QByteArray folder = QFile::encodeName(m_folder);
    struct stat st = {};
    // Only a real folder of this user's; a link is not followed, another user's folder not touched.
    if (::lstat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return;
    bool folderTightened = false;
    int filesTightened = 0;
    if ((st.st_mode & 077) != 0 && ::chmod(folder.constData(), 0700) == 0)
        folderTightened = true;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        struct stat fs = {};
        if (::fstatat(dirFd, e->d_name, &fs, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(fs.st_mode) ||
            fs.st_uid != ::geteuid() || (fs.st_mode & 077) == 0)
            continue;
        if (::fchmodat(dirFd, e->d_name, fs.st_mode & 0700, 0) == 0)
            ++filesTightened;
    }
    ::closedir(dir);
    if (!folderTightened && filesTightened == 0)
        return;
    const QByteArray what = folderTightened && filesTightened > 0
                                ? "the folder and " + QByteArray::number(filesTightened) + " file(s) in it"
                            : folderTightened ? QByteArray("the folder")
                                              : QByteArray::number(filesTightened) + " file(s) in it";
    std::fprintf(stderr, "QX4100: the virtual token store %s was open to other users; %s made owner-only\n",
                 folder.constData(), what.constData());
}

QString VTokenStore::tokenPath(const QString& serial) const
{
    return m_folder + QLatin1Char('/') + serial + Suffix;
}

QString VTokenStore::lockPath(const QString& serial) const
{
    return m_folder + QLatin1Char('/') + serial + QStringLiteral(".lock");
}

QString VTokenStore::cdromPath(const QString& serial) const
{
    return m_folder + QLatin1Char('/') + serial + QStringLiteral(".cdrom");
}

QStringList VTokenStore::serials() const
{
    secure();
    QStringList out;
    const QStringList files = QDir(m_folder).entryList({QLatin1Char('*') + Suffix}, QDir::Files, QDir::Name);
    for (const QString& f : files) {
        const QString serial = f.left(f.size() - Suffix.size());
        if (VToken::validSerial(serial))
            out << serial;
    }
    return out;
}

VTokenStore::Result VTokenStore::load(const QString& serial, VToken* out, VToken::DecodeResult* why) const
{
    if (!VToken::validSerial(serial))
        return Result::Missing;
    const QString path = tokenPath(serial);
    VDecodedTokens& decoded = VDecodedTokens::instance();
    const auto failing = [&](VToken::DecodeResult r) {
        decoded.forget(path);
        if (why)
            *why = r;
        return Result::Failing;
    };
    // Most calls find the file as it was: one look at its identity answers them.
    struct stat st = {};
    VToken t;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 &&
        decoded.find(path, VDecodedTokens::identityOf(st), &t)) {
        if (why)
            *why = VToken::DecodeResult::Ok;
        if (out)
            *out = std::move(t);
        return Result::Ok;
    }
    // Time and identity are taken from the open file before it is read, so an entry never pairs
    // one file's identity with another's content.
    const qint64 decodedAt = VDecodedTokens::nowNs();
    Fd f;
    const QByteArray name = QFile::encodeName(path);
    do
        f.fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    while (f.fd < 0 && errno == EINTR);
    if (f.fd < 0) {
        if (errno == ENOENT) {
            decoded.forget(path);
            return Result::Missing;
        }
        return failing(VToken::DecodeResult::Truncated);
    }
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return failing(VToken::DecodeResult::NotAToken);
    const VDecodedTokens::Identity id = VDecodedTokens::identityOf(st);

    QFile file;
    if (!file.open(f.fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return failing(VToken::DecodeResult::Truncated);
    VToken::DecodeResult r = VToken::decode(file.read(VToken::MaxFileSize + 1), &t);
    // A file copied or renamed to another token's name is not that token.
    if (r == VToken::DecodeResult::Ok && t.serial != serial)
        r = VToken::DecodeResult::BadContent;
    if (r != VToken::DecodeResult::Ok)
        return failing(r);
    decoded.keep(path, id, decodedAt, t);
    if (why)
        *why = r;
    if (out)
        *out = std::move(t);
    return Result::Ok;
}

void VTokenStore::removeLeftovers(const QString& serial) const
{
    // The save file's fallback names its temporary "<file>.XXXXXX"; on file systems with unnamed
    // temporary files a killed writer leaves nothing at all.
    const QString prefix = serial + Suffix + QLatin1Char('.');
    QDir dir(m_folder);
    for (const QString& name : dir.entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden))
        dir.remove(name);
}

bool VTokenStore::write(const QString& serial, const VToken& token) const
{
    removeLeftovers(serial);
    QSaveFile f(tokenPath(serial));
    // Owner-only: the file holds private keys.
    if (!f.open(QIODevice::WriteOnly) || !f.setPermissions(QFile::ReadOwner | QFile::WriteOwner))
        return false;
    const QByteArray bytes = token.encode();
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

VTokenStore::Result VTokenStore::unlockResponse(const QString& serial, const QByteArray& challenge,
                                                QByteArray* response) const
{
    Q_ASSERT(challenge.size() == VToken::ChallengeBytes);
    VToken t;
    const Result r = load(serial, &t);
    if (r == Result::Ok)
        *response = VToken::unlockResponse(t.unlockKey, challenge);
    return r;
}

VTokenStore::Result VTokenStore::update(const QString& serial, const std::function<bool(VToken&)>& change,
                                        VToken* after)
{
    if (!VToken::validSerial(serial))
        return Result::Missing;
    VFileLock lock(lockPath(serial));
    if (!lock.tryLock(m_lockTimeout))
        return Result::Busy;
    VToken t;
    const Result r = load(serial, &t);
    if (r != Result::Ok)
        return r;
    const bool changed = change(t);
    if (changed) {
        ++t.generation;
        if (!write(serial, t))
            return Result::WriteFailed;
    }
    if (after)
        *after = std::move(t);
    return changed ? Result::Ok : Result::Unchanged;
}

VTokenStore::Result VTokenStore::create(VToken token)
{
    if (!VToken::validSerial(token.serial))
        return Result::Missing;
    if (!makeFolder(m_folder))
        return Result::WriteFailed;
    VFileLock lock(lockPath(token.serial));
    if (!lock.tryLock(m_lockTimeout))
        return Result::Busy;
    if (QFile::exists(tokenPath(token.serial)))
        return Result::Exists;
    token.generation = 1;
    return write(token.serial, token) ? Result::Ok : Result::WriteFailed;
}

VTokenStore::Result VTokenStore::remove(const QString& serial)
{
    if (!VToken::validSerial(serial))
        return Result::Missing;
    VFileLock lock(lockPath(serial));
    if (!lock.tryLock(m_lockTimeout))
        return Result::Busy;
    if (!QFile::exists(tokenPath(serial)))
        return Result::Missing;
    QFile::remove(cdromPath(serial));
    return QFile::remove(tokenPath(serial)) ? Result::Ok : Result::WriteFailed;
}
