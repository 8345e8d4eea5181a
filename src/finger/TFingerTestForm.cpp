// SPDX-License-Identifier: BSD-3-Clause
#include "TFingerTestForm.h"

#include "i18n/ResStrs.h"
#include "skf/TSkfBinding.h"
#include "ui/Messages.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

namespace {

// Left edges of the finger buttons, finger 1 to 10, over the hand picture.
constexpr int kFingerLeft[10] = {15, 50, 83, 117, 156, 221, 257, 293, 327, 361};
constexpr int kFingerTop = 45;

} // namespace

TFingerTestForm::TFingerTestForm(TSkfBinding& skf, const TTimings& timings, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_skf(skf),
      m_timings(timings), m_hand(new QLabel(this)), m_hint(new QLabel(this)), m_message(new QLabel(this)),
      m_test(new QPushButton(this)), m_cancel(new QPushButton(this)), m_start(new QTimer(this)),
      m_poll(new QTimer(this))
{
    setObjectName(QStringLiteral("TFingerTestForm"));
    setFixedSize(420, 379);

    m_hand->setObjectName(QStringLiteral("ImgHand"));
    m_hand->setGeometry(17, 43, 392, 253);
    for (int i = 0; i < 10; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QStringLiteral("SpeedButton%1").arg(i + 1));
        b->setProperty("Tag", i + 1);
        b->setAutoRaise(true);
        b->setGeometry(kFingerLeft[i], kFingerTop, 32, 32);
        b->setIconSize(QSize(32, 32));
        // They only show images.
        b->setFocusPolicy(Qt::NoFocus);
        b->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_fingers[size_t(i)] = b;
    }
    m_hint->setObjectName(QStringLiteral("Label1"));
    m_hint->move(16, 16);
    m_message->setObjectName(QStringLiteral("LMsg"));
    m_message->setGeometry(17, 309, 392, 17);
    m_message->setAlignment(Qt::AlignCenter);
    m_test->setObjectName(QStringLiteral("btnTest"));
    m_test->setGeometry(99, 340, 100, 25);
    m_test->setAutoDefault(false);
    m_cancel->setObjectName(QStringLiteral("btnCancel"));
    m_cancel->setGeometry(223, 340, 100, 25);
    m_cancel->setAutoDefault(false);
    m_start->setObjectName(QStringLiteral("Trun"));
    m_start->setSingleShot(true);
    m_poll->setSingleShot(true);

    connect(m_test, &QPushButton::clicked, this, &TFingerTestForm::retest);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_start, &QTimer::timeout, this, &TFingerTestForm::runTest);
    connect(m_poll, &QTimer::timeout, this, &TFingerTestForm::pollTest);
}

void TFingerTestForm::setPictures(const QPixmap& hand, const std::array<QIcon, 10>& fingers,
                                  const QIcon& matched)
{
    m_hand->setPixmap(hand);
    m_fingerImages = fingers;
    m_matchedImage = matched;
    for (size_t i = 0; i < m_fingers.size(); ++i)
        m_fingers[i]->setIcon(m_fingerImages[i]);
}

QToolButton* TFingerTestForm::fingerButton(int finger) const
{
    return finger >= 1 && finger <= 10 ? m_fingers[size_t(finger - 1)] : nullptr;
}

void TFingerTestForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_hint->setText(ResStrs::text("F_Test_Info1"));
    m_hint->adjustSize();
    m_message->setText(ResStrs::text("F_Test_Info2"));
    m_test->setText(ResStrs::text("F_Test_Reset"));
    m_cancel->setText(ResStrs::text("P_Btn_Close"));
    m_cancel->setEnabled(false);
    m_test->setEnabled(false);
    m_start->start(m_timings.testStart);
}

void TFingerTestForm::reject()
{
    // Escape must not leave the sensor waiting: the buttons are off while it polls.
    if (!m_polling)
        QDialog::reject();
}

void TFingerTestForm::showStatus(const QString& text, bool red)
{
    m_message->setText(text);
    m_message->setStyleSheet(red ? QStringLiteral("color: red") : QStringLiteral("color: blue"));
}

void TFingerTestForm::retest()
{
    // The marker of the last match goes before the next test starts.
    for (size_t i = 0; i < m_fingers.size(); ++i)
        m_fingers[i]->setIcon(m_fingerImages[i]);
    runTest();
}

void TFingerTestForm::runTest()
{
    m_status = m_skf.VerifyFingerInit(m_application, m_pinType);
    if (m_status != SAR_OK) {
        QString text;
        if (m_status == SAR_PIN_LOCKED)
            text = ResStrs::text("P_SAR_PIN_LOCKED");
        else if (m_status == SAR_FINGER_NOT_EXIST)
            text = ResStrs::text("P_SAR_FINGER_NOT_EXIST");
        else
            text = ResStrs::format("P_FormatError", m_status);
        Messages::information(this, text);
        QDialog::reject();
        return;
    }
    showStatus(ResStrs::text("F_Wait_Info"), false);
    m_test->setEnabled(false);
    m_cancel->setEnabled(false);
    m_polling = true;
    m_matched = 0;
    m_waiting.start();
    pollTest();
}

void TFingerTestForm::pollTest()
{
    uint32_t matched = 0;
    m_status = m_skf.TestFinger(m_application, m_pinType, &matched);
    if (m_status == SAR_FINGER_PENDING) {
        if (m_waiting.elapsed() < m_timings.fingerWaitLimit) {
            m_poll->start(m_timings.testPoll);
            return;
        }
        // A sensor that never answers must not keep the dialog shut.
        showStatus(ResStrs::text("F_Wait_Timeout"), true);
    } else if (m_status == SAR_OK) {
        showStatus(ResStrs::text("F_Test_OK"), false);
        m_matched = matched;
        if (QToolButton* b = fingerButton(int(matched <= 10 ? matched : 0)))
            b->setIcon(m_matchedImage);
    } else if (m_status == SAR_FINGER_FAILED) {
        showStatus(ResStrs::text("F_Test_Error"), true);
    } else if (m_status == SAR_FINGER_EXIST) {
        showStatus(ResStrs::text("P_SAR_FINGER_EXIST"), true);
    } else if (m_status == SAR_FINGER_NOT_EXIST) {
        showStatus(ResStrs::text("P_SAR_FINGER_NOT_EXIST"), true);
    } else {
        showStatus(ResStrs::format("P_FormatError", m_status), true);
    }
    m_polling = false;
    m_test->setEnabled(true);
    m_cancel->setEnabled(true);
}
