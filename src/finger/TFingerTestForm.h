// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "SKF.h"
#include "platform/TTimings.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QIcon>
#include <QPixmap>

#include <array>
#include <cstdint>

class QLabel;
class QPushButton;
class QTimer;
class QToolButton;
class TSkfBinding;

// Tests the enrolled fingers of the user or the administrator without logging anybody in: starts by
// itself a second after it is shown, polls the sensor on a timer and marks the finger that matched
// on the hand picture. It stays open until the user closes it.
class TFingerTestForm : public QDialog
{
    Q_OBJECT
public:
    explicit TFingerTestForm(TSkfBinding& skf, const TTimings& timings = {}, QWidget* parent = nullptr);

    void setApplication(HAPPLICATION application) { m_application = application; }
    void setPinType(uint32_t pinType) { m_pinType = pinType; }
    // The hand picture, the images of the page's ten finger buttons (finger 1 first) and the
    // match marker.
    void setPictures(const QPixmap& hand, const std::array<QIcon, 10>& fingers, const QIcon& matched);
    QToolButton* fingerButton(int finger) const;
    uint32_t lastStatus() const { return m_status; }
    uint32_t matchedFinger() const { return m_matched; }

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void retest();
    void runTest();
    void pollTest();
    void showStatus(const QString& text, bool red);

    TSkfBinding& m_skf;
    TTimings m_timings;
    HAPPLICATION m_application = nullptr;
    uint32_t m_pinType = SKF_USER_TYPE;
    uint32_t m_status = SAR_OK;
    uint32_t m_matched = 0;
    bool m_polling = false;
    std::array<QIcon, 10> m_fingerImages;
    QIcon m_matchedImage;
    QElapsedTimer m_waiting;

    QLabel* m_hand;
    QLabel* m_hint;
    QLabel* m_message;
    QPushButton* m_test;
    QPushButton* m_cancel;
    std::array<QToolButton*, 10> m_fingers{};
    QTimer* m_start;
    QTimer* m_poll;
};
