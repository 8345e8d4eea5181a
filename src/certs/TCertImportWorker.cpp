// SPDX-License-Identifier: BSD-3-Clause
#include "TCertImportWorker.h"

#include "token/CerMgrApis.h"

TCertImportWorker::TCertImportWorker(const ImportJob& job, int fastInterval, int slowInterval,
                                     QObject* parent)
    : QThread(parent), m_job(job), m_fastInterval(fastInterval), m_slowInterval(slowInterval)
{
}

TCertImportWorker::~TCertImportWorker()
{
    // The thread reads this object to its end.
    wait();
}

void TCertImportWorker::publish(int step, int interval)
{
    m_step.store(step);
    m_interval.store(interval);
}

void TCertImportWorker::run()
{
    const bool pkcs12 = m_job.kind == ImportJob::Pkcs12;
    publish(pkcs12 ? 5 : 3, m_fastInterval);
    bool created = false;
    if (!m_job.existing.contains(m_job.container)) {
        publish(pkcs12 ? 3 : 2, m_slowInterval);
        const quint32 status = CerMgrApis::CreateContainer(m_job.slot, m_job.container);
        if (status != 0) {
            m_result.store(status);
            return;
        }
        created = true;
    }
    const quint32 status = write();
    // A container made for a certificate that never arrived would only be an empty leftover.
    if (status != 0 && created)
        CerMgrApis::DeleteContainer(m_job.slot, m_job.container);
    m_result.store(status);
}

quint32 TCertImportWorker::write() const
{
    switch (m_job.kind) {
    case ImportJob::X509:
        return CerMgrApis::ImportX509Certificate(m_job.slot, m_job.container, m_job.keySpec, m_job.path);
    case ImportJob::Pkcs7:
        return CerMgrApis::ImportP7bCertificate(m_job.slot, m_job.container, m_job.keySpec, m_job.index);
    case ImportJob::Pkcs12:
        break;
    }
    return CerMgrApis::ImportPkcs12Certificate(m_job.slot, m_job.container, m_job.keySpec, m_job.index);
}
