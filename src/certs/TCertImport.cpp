// SPDX-License-Identifier: BSD-3-Clause
#include "TCertImport.h"

#include "certs/NewGuidString.h"
#include "certs/TCertImportWorker.h"
#include "certs/TIMForm.h"
#include "i18n/ResStrs.h"
#include "token/CerMgrApis.h"
#include "ui/Messages.h"
#include "ui/TProgramState.h"

#include <QApplication>
#include <QEvent>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

TCertImport::TCertImport(TProgramState& state, QObject* parent)
    : QObject(parent), m_state(state), m_timerCert(new QTimer(this))
{
    m_timerCert->setObjectName(QStringLiteral("TimerCert"));
    connect(m_timerCert, &QTimer::timeout, this, &TCertImport::tick);
}

TCertImport::~TCertImport()
{
    qApp->removeEventFilter(this);
    if (QApplication::overrideCursor() && m_running)
        QApplication::restoreOverrideCursor();
    // m_worker's destructor joins the thread.
}

QString TCertImport::resultText(quint32 status)
{
    if (status == TokenStatus::NoRights)
        return ResStrs::text("F_Power_Lower");
    if (status == TokenStatus::OutOfSpace)
        return ResStrs::text("K_OutSpace_Error");
    if (status == TokenStatus::CertificateTooLarge)
        return ResStrs::text("K_Cert_TooLarge");
    if (status == TokenStatus::Busy)
        return ResStrs::text("K_Token_Busy");
    return ResStrs::text("K_Import_Error") + ResStrs::text("K_ErrorCODE_Str") + QStringLiteral("  0x") +
           QStringLiteral("%1").arg(status, 8, 16, QLatin1Char('0')).toUpper();
}

bool TCertImport::run(QWidget* owner, QProgressBar* bar, int preselect)
{
    if (m_running)
        return false;
    // Only into a listed token the user is logged in to.
    TTokenSession* session = m_state.sessions.current();
    if (!session || !session->userLoggedIn()) {
        Q_EMIT stopped();
        return false;
    }

    // Less than a few kilobytes free holds no certificate; a token that cannot tell is tried anyway.
    const int slot = session->slot();
    TQ7Info info;
    if (CerMgrApis::ReadTokenInfo(slot, info) == 0 && info.FreeMemory != TQ7Info::MemoryUnknown &&
        info.FreeMemory / 1024.0 <= 4.0) {
        Messages::information(owner, ResStrs::text("K_OutSpace_Error"));
        Q_EMIT stopped();
        return false;
    }
    TQ7Info& token = session->info();
    CerMgrApis::LoadContainerNames(slot, token);
    const QStringList names = token.ContainerNames;

    QPointer<TIMForm> form = new TIMForm(owner);
    const auto freeForm = qScopeGuard([&form] { delete form.data(); });
    form->setContainers(names, preselect);
    Q_EMIT dialogOpened(form);
    if (form->exec() != QDialog::Accepted || !form) {
        Q_EMIT stopped();
        return false;
    }

    ImportJob job;
    job.slot = slot;
    job.existing = names;
    if (form->newContainer()) {
        job.container = form->newContainerName();
        if (names.contains(job.container)) {
            Messages::information(owner, ResStrs::text("K_Cont_Name_Error"));
            Q_EMIT stopped();
            return false;
        }
    } else {
        job.container = form->existingContainer();
    }
    job.keySpec = form->exchange() ? KeySpec::Exchange : KeySpec::Signature;
    if (!form->newContainer()) {
        // The import never overwrites a certificate.
        QByteArray present;
        if (CerMgrApis::ReadCertificate(slot, job.container, job.keySpec, present) == 0) {
            Messages::information(
                owner, ResStrs::text(job.keySpec == KeySpec::Exchange ? "K_spec_mode1" : "K_spec_mode2"));
            Q_EMIT stopped();
            return false;
        }
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    job.kind = form->kind();
    job.path = form->path();
    m_count = form->certCount();
    m_next = 0;
    m_base = job;
    delete form.data();
    m_window = owner ? owner->window() : nullptr;
    m_bar = bar;
    if (m_window)
        m_window->repaint();

    m_running = true;
    m_state.tokenWorkRunning = true;
    m_closePending = false;
    qApp->installEventFilter(this);
    startNext();
    return true;
}

void TCertImport::startNext()
{
    ImportJob job = m_base;
    job.index = m_next;
    if (m_count > 1) {
        // From a bundle the end-entity certificate goes where the user chose; every authority's
        // certificate, and every certificate of a PKCS#7 bundle, gets a new container as a signature one.
        qint32 kind = 0;
        const quint32 status = job.kind == ImportJob::Pkcs7 ? CerMgrApis::GetP7bCertInfo(job.index, kind)
                                                            : CerMgrApis::GetPkcs12CertInfo(job.index, kind);
        if (status != 0)
            return end(status);
        if (job.kind == ImportJob::Pkcs7 || kind != qint32(CertKind::EndEntity)) {
            job.container = NewGuidString();
            job.keySpec = KeySpec::Signature;
        }
    }
    ++m_next;
    if (m_bar) {
        m_bar->setValue(0);
        m_bar->show();
    }
    m_worker = std::make_unique<TCertImportWorker>(job, m_state.timings.certProgressFast,
                                                   m_state.timings.certProgressSlow);
    connect(m_worker.get(), &QThread::finished, this, &TCertImport::workerEnded, Qt::QueuedConnection);
    m_timerCert->start(m_state.timings.certProgressFast);
    m_worker->start();
}

void TCertImport::tick()
{
    if (!m_worker)
        return;
    const int interval = m_worker->interval();
    if (interval > 0 && interval != m_timerCert->interval())
        m_timerCert->setInterval(interval);
    if (m_bar)
        m_bar->setValue(qMin(100, m_bar->value() + m_worker->step()));
}

void TCertImport::workerEnded()
{
    if (!m_worker || !m_worker->isFinished())
        return;
    const quint32 status = m_worker->result();
    m_worker.reset();
    m_timerCert->stop();
    if (m_bar) {
        m_bar->setValue(100);
        m_bar->hide();
    }
    if (status == 0 && m_next < m_count)
        return startNext();
    end(status);
}

void TCertImport::end(quint32 status)
{
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    m_running = false;
    m_state.tokenWorkRunning = false;
    m_lastStatus = status;
    if (status != 0) {
        Messages::information(m_window, resultText(status));
        // One certificate that failed may have left the library's view of the token behind.
        if (m_count == 1)
            CerMgrApis::ReloadTokenObjects(m_base.slot);
    }
    Q_EMIT finished(status);
    if (m_closePending && m_window)
        QMetaObject::invokeMethod(m_window, &QWidget::close, Qt::QueuedConnection);
    m_closePending = false;
}

bool TCertImport::eventFilter(QObject* watched, QEvent* event)
{
    if (!m_running || !m_window)
        return false;
    QWidget* widget = qobject_cast<QWidget*>(watched);
    const bool inWindow = widget ? widget->window() == m_window
                                 : watched->isWindowType() && watched == m_window->windowHandle();
    if (!inWindow)
        return false;
    if (event->type() == QEvent::Close && watched == m_window) {
        // Closing now would pull the token's state away from a worker that is still writing.
        m_closePending = true;
        event->ignore();
        return true;
    }
    if (isInput(event->type())) {
        event->accept();
        return true;
    }
    return false;
}
