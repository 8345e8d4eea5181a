// SPDX-License-Identifier: BSD-3-Clause
#include "TFingerVerifyForm.h"

#include "i18n/ResStrs.h"
#include "skf/TFingerInfo.h"
#include "skf/TSkfBinding.h"
#include "token/CerMgrApis.h"

#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QThread>
#include <QTimer>

namespace {
constexpr int CountdownStart = 5;
} // namespace

TFingerVerifyForm::TFingerVerifyForm(TSkfBinding& skf, const TTimings& timings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_skf(skf),
      m_timings(timings), m_image(new QLabel(this)), m_hint(new QLabel(this)), m_message(new QLabel(this)),
      m_cancel(new QPushButton(this)), m_start(new QTimer(this)), m_poll(new QTimer(this)),
      m_close(new QTimer(this))
{
    setObjectName(QStringLiteral("TFingerVerifyForm"));
    setFixedSize(294, 272);

    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setGeometry(8, 51, 278, 137);
    m_image->setAlignment(Qt::AlignCenter);
    m_hint->setObjectName(QStringLiteral("Label1"));
    m_hint->setGeometry(8, 23, 278, 17);
    m_hint->setAlignment(Qt::AlignCenter);
    m_message->setObjectName(QStringLiteral("LMsg"));
    m_message->setGeometry(16, 207, 262, 17);
    m_message->setAlignment(Qt::AlignCenter);
    m_cancel->setObjectName(QStringLiteral("btnCancel"));
    m_cancel->setGeometry(97, 237, 100, 25);
    m_cancel->setAutoDefault(false);
    m_start->setObjectName(QStringLiteral("Trun"));
    m_start->setSingleShot(true);
    m_poll->setSingleShot(true);
    m_close->setObjectName(QStringLiteral("TClose"));

    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_start, &QTimer::timeout, this, &TFingerVerifyForm::startLogin);
    connect(m_poll, &QTimer::timeout, this, &TFingerVerifyForm::pollLogin);
    connect(m_close, &QTimer::timeout, this, &TFingerVerifyForm::closeTick);
}

TFingerVerifyForm::~TFingerVerifyForm() = default;

void TFingerVerifyForm::setPictures(const QPixmap& ok, const QPixmap& error, const QString& animation)
{
    m_ok = ok;
    m_error = error;
    m_animationFile = animation;
}

void TFingerVerifyForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_hint->setText(ResStrs::text("F_Verify_Info1"));
    m_message->setText(ResStrs::text("F_Verify_Info2"));
    m_cancel->setText(ResStrs::text("P_Btn_Close"));
    if (!m_movie && !m_animationFile.isEmpty()) {
        m_movie = new QMovie(m_animationFile, QByteArray(), this);
        m_movie->setSpeed(1000); // ten times its normal speed
        m_image->setMovie(m_movie);
        m_movie->start();
    }
    m_cancel->setEnabled(false);
    m_countdown = CountdownStart;
    m_start->start(m_timings.verifyStart);
}

void TFingerVerifyForm::reject()
{
    // Escape must not leave a login running behind a closed dialog.
    if (m_cancel->isEnabled())
        QDialog::reject();
}

void TFingerVerifyForm::showStatus(const QString& text, bool failed)
{
    m_message->setText(text);
    m_message->setStyleSheet(failed ? QStringLiteral("color: red") : QStringLiteral("color: blue"));
    if (m_movie)
        m_movie->stop();
    m_image->setPixmap(failed ? m_error : m_ok);
}

void TFingerVerifyForm::startLogin()
{
    if (m_pinType != SKF_ADMIN_TYPE && m_pinType != SKF_USER_TYPE) {
        m_status = SAR_INVALIDPARAMERR;
        finishLogin();
        return;
    }
    // The token waits inside the login call for a finger: the call runs on a thread of its own and
    // the dialog looks for its end, so the window keeps painting. The attempt is shared, so a thread
    // that outlives the dialog writes into memory that is still there.
    m_attempt = std::make_shared<Attempt>();
    const std::shared_ptr<Attempt> attempt = m_attempt;
    const int slot = m_slot;
    const bool so = m_pinType == SKF_ADMIN_TYPE;
    QThread* worker = QThread::create([attempt, slot, so] {
        qint32 retries = 0;
        attempt->status = so ? CerMgrApis::LoginSO(slot, QString(), retries)
                             : CerMgrApis::LoginUser(slot, QString(), retries);
        attempt->done = true;
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    m_since.start();
    worker->start();
    m_poll->start(m_timings.testPoll);
}

void TFingerVerifyForm::pollLogin()
{
    if (!m_attempt->done) {
        if (m_since.elapsed() < m_timings.fingerWaitLimit) {
            m_poll->start(m_timings.testPoll);
            return;
        }
        // The token never answered: say so and let the user close the dialog.
        m_status = SAR_FAIL;
        showStatus(ResStrs::text("F_Wait_Timeout"), true);
        m_cancel->setEnabled(true);
        return;
    }
    m_status = m_attempt->status;
    finishLogin();
}

void TFingerVerifyForm::finishLogin()
{
    if (m_status == SAR_OK) {
        showStatus(ResStrs::text("F_Test_OK"), false);
        m_countdown = 0;
    } else if (m_status == SAR_FINGER_FAILED) {
        showStatus(ResStrs::text("F_Test_Error"), true);
    } else {
        // The retries shown come from the device library, not from the login call.
        TFingerInfo info;
        m_skf.GetFingerInfo(m_application, m_pinType, info);
        showStatus(ResStrs::format("F_Verify_Format", int(info.RetriesLeft)), true);
    }
    m_cancel->setEnabled(true);
    m_close->start(m_timings.verifyCloseStep);
}

void TFingerVerifyForm::closeTick()
{
    if (m_countdown != 0) {
        m_cancel->setText(QStringLiteral("%1(%2)").arg(ResStrs::text("P_Btn_Close")).arg(m_countdown));
        --m_countdown;
        return;
    }
    m_close->stop();
    accept();
}
