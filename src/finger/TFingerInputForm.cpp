// SPDX-License-Identifier: BSD-3-Clause
#include "TFingerInputForm.h"

#include "i18n/ResStrs.h"
#include "skf/TSkfBinding.h"

#include <QLabel>
#include <QMovie>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace {
constexpr int CountdownStart = 5;
} // namespace

TFingerInputForm::TFingerInputForm(TSkfBinding& skf, const TTimings& timings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_skf(skf),
      m_timings(timings), m_image(new QLabel(this)), m_hint(new QLabel(this)), m_message(new QLabel(this)),
      m_bar(new QProgressBar(this)), m_run(new QPushButton(this)), m_cancel(new QPushButton(this)),
      m_start(new QTimer(this)), m_close(new QTimer(this)), m_poll(new QTimer(this))
{
    setObjectName(QStringLiteral("TFingerInputForm"));
    setWindowTitle(ResStrs::text("P_FingerInput"));
    setFixedSize(411, 263);

    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setGeometry(154, 41, 108, 111);
    m_image->setScaledContents(true);
    m_hint->setObjectName(QStringLiteral("Label1"));
    m_hint->move(17, 13);
    m_hint->setStyleSheet(QStringLiteral("color: blue"));
    m_message->setObjectName(QStringLiteral("LMsg"));
    m_message->setGeometry(17, 202, 376, 17);
    m_message->setAlignment(Qt::AlignCenter);
    m_bar->setObjectName(QStringLiteral("PB"));
    m_bar->setGeometry(17, 173, 376, 17);
    m_bar->setRange(0, 3);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_run->setObjectName(QStringLiteral("btnRun"));
    m_run->setGeometry(106, 228, 100, 25);
    m_run->setAutoDefault(false);
    m_cancel->setObjectName(QStringLiteral("btnCancel"));
    m_cancel->setGeometry(213, 228, 100, 25);
    m_cancel->setAutoDefault(false);
    m_start->setObjectName(QStringLiteral("Trun"));
    m_start->setSingleShot(true);
    m_close->setObjectName(QStringLiteral("TClose"));
    m_poll->setSingleShot(true);

    connect(m_run, &QPushButton::clicked, this, &TFingerInputForm::runEnrollment);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_start, &QTimer::timeout, this, &TFingerInputForm::runEnrollment);
    connect(m_close, &QTimer::timeout, this, &TFingerInputForm::closeTick);
    connect(m_poll, &QTimer::timeout, this, &TFingerInputForm::pollEnrollment);
}

void TFingerInputForm::setPictures(const QPixmap& ok, const QPixmap& error, const QString& animation)
{
    m_ok = ok;
    m_error = error;
    m_animationFile = animation;
}

void TFingerInputForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_hint->setText(ResStrs::text("F_Input_Info2"));
    m_hint->adjustSize();
    m_cancel->setText(ResStrs::text("P_Btn_Close"));
    m_run->setText(ResStrs::text("F_Input_Reset"));
    m_message->setText(ResStrs::text("F_Input_Info1"));
    showStatus(ResStrs::text("F_Input_Info1"), Blue, Animation);
    m_cancel->setEnabled(false);
    m_run->setEnabled(false);
    m_countdown = CountdownStart;
    m_start->start(m_timings.enrollStart);
}

void TFingerInputForm::reject()
{
    // Escape must not end a capture: the buttons are off then and the title bar has no close button.
    if (m_cancel->isEnabled())
        QDialog::reject();
}

void TFingerInputForm::showStatus(const QString& text, Colour colour, Picture picture)
{
    m_message->setText(text);
    m_message->setStyleSheet(colour == Red ? QStringLiteral("color: red") : QStringLiteral("color: blue"));
    if (picture == Animation) {
        if (m_movie) {
            m_movie->stop();
            m_movie->deleteLater();
        }
        m_movie = new QMovie(m_animationFile, QByteArray(), this);
        m_movie->setSpeed(1000); // ten times its normal speed
        m_image->setMovie(m_movie);
        m_movie->start();
        return;
    }
    if (m_movie)
        m_movie->stop();
    m_image->setPixmap(picture == Success ? m_ok : m_error);
}

void TFingerInputForm::runEnrollment()
{
    showStatus(ResStrs::text("F_Input_Info1"), Blue, Animation);
    m_status = m_skf.EnrollFingerInit(m_application, m_pinType, m_finger);
    if (m_status != SAR_OK) {
        QString text;
        if (m_status == SAR_USER_NOT_LOGGED_IN)
            text = ResStrs::text("P_SAR_USER_NOT_LOGGED_IN");
        else if (m_status == SAR_APPLICATION_NOT_EXISTS)
            text = ResStrs::text("P_SAR_APPLICATION_NOT_EXISTS");
        else
            text = ResStrs::format("P_FormatError", m_status);
        showStatus(text, Red, Failure);
        m_close->start(m_timings.enrollCloseStep);
        m_cancel->setEnabled(true);
        return;
    }

    m_capturing = true;
    m_run->setEnabled(false);
    m_cancel->setEnabled(false);
    m_progressSeen = 0;
    m_outcomeDue = false;
    m_timedOut = false;
    m_waiting.start();
    m_bar->setValue(0);
    pollEnrollment();
}

void TFingerInputForm::pollEnrollment()
{
    if (m_outcomeDue) {
        finishEnrollment();
        return;
    }
    uint32_t progress = m_progressSeen;
    m_status = m_skf.EnrollFinger(m_application, m_pinType, m_finger, &progress);
    // One step per growth, whatever the library's scale.
    if (progress > m_progressSeen) {
        m_bar->setValue(std::min(m_bar->value() + 1, m_bar->maximum()));
        m_progressSeen = progress;
    }
    if (m_status == SAR_FINGER_PENDING && m_waiting.elapsed() >= m_timings.fingerWaitLimit)
        m_timedOut = true;
    if (m_status != SAR_FINGER_PENDING || m_timedOut) {
        // The full bar stays a moment before the outcome replaces the animation.
        m_bar->setValue(m_bar->maximum());
        m_outcomeDue = true;
    }
    m_poll->start(m_timings.enrollPoll);
}

void TFingerInputForm::finishEnrollment()
{
    m_capturing = false;
    m_outcomeDue = false;
    if (m_timedOut) {
        // The sensor never answered: the user may try again or close.
        showStatus(ResStrs::text("F_Wait_Timeout"), Red, Failure);
        m_run->setEnabled(true);
        m_cancel->setEnabled(true);
        return;
    }
    switch (m_status) {
    case SAR_OK:
        showStatus(ResStrs::text("F_Input_OK"), Blue, Success);
        m_close->start(m_timings.enrollCloseStep);
        m_cancel->setEnabled(true);
        break;
    case SAR_FINGER_FAILED:
        showStatus(ResStrs::text("F_Input_Error"), Red, Failure);
        m_run->setEnabled(true);
        m_cancel->setEnabled(true);
        break;
    case SAR_FINGER_EXIST:
        showStatus(ResStrs::text("F_Input_Exist"), Red, Failure);
        m_close->start(m_timings.enrollCloseStep);
        m_cancel->setEnabled(true);
        break;
    default:
        showStatus(ResStrs::format("P_FormatError", m_status), Red, Failure);
        m_close->start(m_timings.enrollCloseStep);
        m_cancel->setEnabled(true);
        break;
    }
}

void TFingerInputForm::closeTick()
{
    if (m_countdown != 0) {
        m_cancel->setText(QStringLiteral("%1(%2)").arg(ResStrs::text("P_Btn_Close")).arg(m_countdown));
        --m_countdown;
        return;
    }
    m_close->stop();
    accept();
}
