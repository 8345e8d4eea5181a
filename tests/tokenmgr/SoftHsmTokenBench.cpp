// SPDX-License-Identifier: BSD-3-Clause
#include "SoftHsmTokenBench.h"

#include "ContractData.h"
#include "SoftHsmToken.h"
#include "TokenMgr.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

// Token folders made once per label and containers in this process; a case's token is a copy, which
// saves a softhsm2-util start and the imports for every case.
QTemporaryDir& madeTokens()
{
    static QTemporaryDir dir;
    return dir;
}

bool copyFolder(const QString& from, const QString& to)
{
    if (!QDir().mkpath(to))
        return false;
    const QDir src(from);
    for (const QFileInfo& e : src.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString target = to + QLatin1Char('/') + e.fileName();
        if (e.isDir() ? !copyFolder(e.filePath(), target) : !QFile::copy(e.filePath(), target))
            return false;
    }
    return true;
}

} // namespace

SoftHsmTokenBench::SoftHsmTokenBench() = default;
SoftHsmTokenBench::~SoftHsmTokenBench() = default;

QString SoftHsmTokenBench::unavailable() const
{
    if (!QFileInfo::exists(QString::fromLocal8Bit(moduleName())) ||
        QStandardPaths::findExecutable(QStringLiteral("softhsm2-util")).isEmpty())
        return QStringLiteral("SoftHSM2 is not installed (scripts/install-deps.sh installs it)");
    return {};
}

bool SoftHsmTokenBench::start()
{
    m_hsm = std::make_unique<SoftHsmToken>();
    m_freeSlotTaken = false;
    return m_hsm->ok() && init_pkcs11(moduleName().constData()) == TM_OK;
}

void SoftHsmTokenBench::stop()
{
    uninit_pkcs11();
    m_hsm.reset();
}

bool SoftHsmTokenBench::addToken(int i, const Token& token)
{
    if (!token.initialized) {
        if (m_freeSlotTaken || !token.containers.isEmpty())
            return false;
        m_freeSlotTaken = true;
        return true;
    }
    const QByteArray label = token.label.isEmpty() ? TokenBench::label(i) : token.label;
    const QDir tokens(QFileInfo(m_hsm->confPath()).path() + QStringLiteral("/tokens"));
    const QDir made(madeTokens().filePath(QString::fromLatin1(
        (label + '\0' + token.containers.join('\0') + '\1' + token.privateKeyOnly.join('\0')).toHex())));
    // The module reads its token folder when it starts: stop it while a token is added.
    uninit_pkcs11();
    if (made.exists()) {
        const QStringList folders = made.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        return folders.size() == 1 && copyFolder(made.filePath(folders[0]), tokens.filePath(folders[0])) &&
               init_pkcs11(moduleName().constData()) == TM_OK;
    }
    const QStringList before = tokens.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    const bool ok = m_hsm->initToken(QString::fromUtf8(label), ContractData::UserPin, ContractData::SoPin);
    const bool objects = !token.containers.isEmpty() || !token.privateKeyOnly.isEmpty();
    if (init_pkcs11(moduleName().constData()) != TM_OK || !ok ||
        (objects && !addContainers(label, token.containers, token.privateKeyOnly)))
        return false;
    uninit_pkcs11();
    if (!token.privateKeyOnly.isEmpty() && !deletePublicKeys(label, token.privateKeyOnly))
        return false;
    bool kept = false;
    for (const QString& folder : tokens.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (!before.contains(folder))
            kept = copyFolder(tokens.filePath(folder), made.filePath(folder));
    return init_pkcs11(moduleName().constData()) == TM_OK && kept;
}

bool SoftHsmTokenBench::deletePublicKeys(const QByteArray& label, const QList<QByteArray>& names)
{
    for (const QByteArray& name : names)
        if (!SoftHsmToken::run(QStringLiteral("pkcs11-tool"),
                               {QStringLiteral("--module"), QString::fromLocal8Bit(moduleName()),
                                QStringLiteral("--token-label"), QString::fromUtf8(label),
                                QStringLiteral("--login"), QStringLiteral("--pin"),
                                QString::fromLatin1(ContractData::UserPin), QStringLiteral("--delete-object"),
                                QStringLiteral("--type"), QStringLiteral("pubkey"), QStringLiteral("--label"),
                                QString::fromUtf8(name)}))
            return false;
    return true;
}

bool SoftHsmTokenBench::addContainers(const QByteArray& label, const QList<QByteArray>& names,
                                      const QList<QByteArray>& privateKeyOnly)
{
    const QString p12 = QFileInfo(m_hsm->confPath()).path() + QStringLiteral("/keyed.p12");
    QFile f(p12);
    if (!f.open(QIODevice::WriteOnly) || f.write(ContractData::keyedPkcs12()) < 0)
        return false;
    f.close();
    int32_t count = TM_MAX_SLOTS;
    uint32_t ids[TM_MAX_SLOTS] = {};
    if (token_find(ids, &count) != TM_OK)
        return false;
    int slot = -1;
    for (int s = 0; s < count; ++s) {
        char serial[TM_SERIAL_SIZE], text[TM_LABEL_SIZE], man[TM_MANUFACTURER_SIZE], model[TM_MODEL_SIZE];
        int32_t v[10];
        if (token_connect(s) == TM_OK &&
            token_get_info_ex(s, serial, text, man, model, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                              &v[7], &v[8], &v[9]) == TM_OK &&
            label == text)
            slot = s;
    }
    int32_t retries = 0, entries = 0;
    if (slot < 0 || token_login(slot, ContractData::UserPin.constData(), &retries) != TM_OK ||
        pkcs12_file_parse(p12.toLocal8Bit().constData(), ContractData::KeyedPassword, &entries) != TM_OK ||
        entries != 1)
        return false;
    bool ok = true;
    for (const QByteArray& name : names + privateKeyOnly)
        ok = ok && container_create_new(slot, name.constData()) == TM_OK &&
             pkcs12_import_certificate(slot, name.constData(), TM_KEYSPEC_SIGNATURE, 0) == TM_OK;
    for (const QByteArray& name : privateKeyOnly)
        ok = ok && container_delete_cert(slot, name.constData(), TM_KEYSPEC_SIGNATURE) == TM_OK;
    return token_logout(slot) == TM_OK && ok;
}
