// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "SKF.h"
#include "platform/TTimings.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPixmap>
#include <QString>

#include <cstdint>

class QLabel;
class QMovie;
class QProgressBar;
class QPushButton;
class QTimer;
class TSkfBinding;

// Enrolls one finger of the user or the administrator: starts by itself a second after it is shown,
// polls the sensor on a timer while the bar advances, shows the outcome and closes itself a few
// seconds after a final one. It cannot be closed while capturing.
class TFingerInputForm : public QDialog
{
    Q_OBJECT
public:
    explicit TFingerInputForm(TSkfBinding& skf, const TTimings& timings = {}, QWidget* parent = nullptr);

    void setFingerNumber(uint32_t finger) { m_finger = finger; }
    void setApplication(HAPPLICATION application) { m_application = application; }
    void setPinType(uint32_t pinType) { m_pinType = pinType; }
    // The success and failure pictures and the animated fingerprint (a file the picture reader knows).
    void setPictures(const QPixmap& ok, const QPixmap& error, const QString& animation);
    uint32_t lastStatus() const { return m_status; }

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    enum Colour
    {
        Red = 1,
        Blue = 2
    };
    enum Picture
    {
        Success = 0,
        Failure = 1,
        Animation = 2
    };
    void runEnrollment();
    void pollEnrollment();
    void finishEnrollment();
    void showStatus(const QString& text, Colour colour, Picture picture);
    void closeTick();

    TSkfBinding& m_skf;
    TTimings m_timings;
    uint32_t m_finger = 0;
    HAPPLICATION m_application = nullptr;
    uint32_t m_pinType = SKF_USER_TYPE;
    uint32_t m_status = SAR_OK;
    int m_countdown = 5;
    bool m_capturing = false;
    uint32_t m_progressSeen = 0;
    bool m_outcomeDue = false;
    // A sensor that stays pending this long ends the capture with a message.
    QElapsedTimer m_waiting;
    bool m_timedOut = false;
    QPixmap m_ok;
    QPixmap m_error;
    QString m_animationFile;

    QLabel* m_image;
    QLabel* m_hint;
    QLabel* m_message;
    QProgressBar* m_bar;
    QPushButton* m_run;
    QPushButton* m_cancel;
    QTimer* m_start;
    QTimer* m_close;
    // Drives the capture: the next sample, then the pause before the outcome is shown.
    QTimer* m_poll;
    QMovie* m_movie = nullptr;
};
