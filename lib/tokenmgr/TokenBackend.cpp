// SPDX-License-Identifier: BSD-3-Clause
#include "TokenBackend.h"

#include "CertInfo.h"
#include "Pkcs11Backend.h"
#include "TokenMgr.h"
#include "VTokenStore.h"
#include "VirtualBackend.h"

#include <QFile>
#include <QFileInfo>

namespace {

quint32 entryKind(const QList<CertFile::Entry>& list, bool parsed, int index, CertFile::Entry* entry,
                  int* kind)
{
    if (!parsed)
        return TM_ERR_NO_FILE;
    if (index < 0 || index >= list.size())
        return TM_ERR_INDEX;
    CertInfo info;
    if (!CertInfo::fromDer(list[index].certificate, &info, CertInfo::Detail::Summary))
        return TM_ERR_CERTIFICATE;
    if (entry)
        *entry = list[index];
    if (kind)
        *kind = info.kind;
    return TM_OK;
}

} // namespace

bool TokenBackend::isVirtualModule(const QByteArray& module)
{
    const QByteArray m = module.toLower();
    return m.isEmpty() || m == "q7sec_pkcs11.dll" || m == "q7sec_pkcs11.so" || m == "libq7sec_pkcs11.so" ||
           m == "virtual";
}

std::unique_ptr<TokenBackend> TokenBackend::forModule(const QByteArray& module)
{
    if (isVirtualModule(module))
        return std::make_unique<VirtualBackend>(VTokenStore::defaultFolder());
    std::unique_ptr<Pkcs11Module> m = Pkcs11Module::load(module);
    if (!m)
        return nullptr;
    return std::make_unique<Pkcs11Backend>(std::move(m));
}

quint32 TokenBackend::unlockResponse(const QByteArray&, const QByteArray&, QByteArray*)
{
    return TM_ERR_NOT_SUPPORTED;
}

QByteArray TokenBackend::readFile(const QByteArray& path, quint32* status)
{
    // Only a regular file: a device never ends and a pipe may never open.
    const QString name = QString::fromLocal8Bit(path);
    QFile f(name);
    if (path.isEmpty() || !QFileInfo(name).isFile() || !f.open(QIODevice::ReadOnly)) {
        *status = TM_ERR_FILE_OPEN;
        return {};
    }
    // Bounded by what is read, not by the size the file claims.
    QByteArray bytes = f.read(CertFile::MaxFileSize + 1);
    if (bytes.size() > CertFile::MaxFileSize) {
        *status = TM_ERR_FILE_FORMAT;
        return {};
    }
    *status = TM_OK;
    return bytes;
}

quint32 TokenBackend::parsePkcs12(const QByteArray& path, const QByteArray& password, int* count)
{
    m_pkcs12.clear();
    m_pkcs12Parsed = false;
    quint32 status = TM_OK;
    const QByteArray bytes = readFile(path, &status);
    if (status != TM_OK)
        return status;
    QList<CertFile::Entry> entries;
    status = CertFile::parsePkcs12(bytes, password, &entries);
    if (status != TM_OK)
        return status;
    m_pkcs12 = entries;
    m_pkcs12Parsed = true;
    *count = int(entries.size());
    return TM_OK;
}

quint32 TokenBackend::parsePkcs7(const QByteArray& path, int* count)
{
    m_pkcs7.clear();
    m_pkcs7Parsed = false;
    quint32 status = TM_OK;
    const QByteArray bytes = readFile(path, &status);
    if (status != TM_OK)
        return status;
    QList<CertFile::Entry> entries;
    status = CertFile::parsePkcs7(bytes, &entries);
    if (status != TM_OK)
        return status;
    m_pkcs7 = entries;
    m_pkcs7Parsed = true;
    *count = int(entries.size());
    return TM_OK;
}

quint32 TokenBackend::pkcs12Kind(int index, CertFile::Entry* entry, int* kind) const
{
    return entryKind(m_pkcs12, m_pkcs12Parsed, index, entry, kind);
}

quint32 TokenBackend::pkcs7Kind(int index, CertFile::Entry* entry, int* kind) const
{
    return entryKind(m_pkcs7, m_pkcs7Parsed, index, entry, kind);
}
