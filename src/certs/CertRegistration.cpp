// SPDX-License-Identifier: BSD-3-Clause
#include "CertRegistration.h"

#include "i18n/ResStrs.h"
#include "token/CerMgrApis.h"
#include "ui/TProgramState.h"

#include <memory>

QString CertRegistration::providerName()
{
    return ResStrs::text("PROVIDER_NAME");
}

quint32 CertRegistration::RegisterTokenCertificates(TProgramState& state, qint32 slot)
{
    TTokenSession* session = state.sessions.at(slot);
    if (!session)
        return TokenStatus::BadArgument;
    TQ7Info& info = session->info();
    if (const quint32 status = CerMgrApis::LoadContainerNames(slot, info))
        return status;
    const QString provider = providerName();
    // The record holds a whole certificate buffer; keep it off the stack.
    auto cert = std::make_unique<TQ7CertInfo>();
    const QStringList names = info.ContainerNames;
    for (const QString& name : names) {
        if (CerMgrApis::ReadCertificateInfo(slot, name, KeySpec::Signature, *cert) != TokenStatus::Success)
            continue;
        // The library may report kinds we do not know; those are left out.
        if (cert->Kind == qint32(CertKind::EndEntity)) {
            if (const quint32 status =
                    CerMgrApis::AddCertToStore(name, provider, KeySpec::Signature, cert->certificate()))
                return TokenStatus::RegisterFailedBase + status;
        } else if (cert->Kind == qint32(CertKind::Root)) {
            CerMgrApis::AddRootCertToStore(QStringLiteral("ROOT"), cert->certificate());
        } else if (cert->Kind == qint32(CertKind::Ca)) {
            CerMgrApis::AddRootCertToStore(QStringLiteral("CA"), cert->certificate());
        }
    }
    return TokenStatus::Success;
}

void CertRegistration::RegisterAllTokens(TProgramState& state)
{
    for (qint32 slot = 0; slot < state.tokenCount(); ++slot)
        RegisterTokenCertificates(state, slot);
}
