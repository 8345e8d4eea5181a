// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include "SKF.h"
#include "platform/TTimings.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPixmap>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

class QLabel;
class QMovie;
class QPushButton;
class QTimer;
class TSkfBinding;

// A fingerprint login: a second after it is shown it asks the token manager library to log the
// token in with an empty PIN, which makes the token read a finger instead, and shows the outcome.
// The login runs beside the window so it keeps painting; a success closes the dialog a second later,
// a failure counts down first. result status 0 means the finger was accepted.
class TFingerVerifyForm : public QDialog
{
    Q_OBJECT
public:
    explicit TFingerVerifyForm(TSkfBinding& skf, const TTimings& timings = {}, QWidget* parent = nullptr);
    ~TFingerVerifyForm() override;

    void setTokenSlot(int slot) { m_slot = slot; }
    void setApplication(HAPPLICATION application) { m_application = application; }
    // 0 administrator (SO login), 1 user; any other type is refused without asking the token.
    void setPinType(uint32_t pinType) { m_pinType = pinType; }
    void setPictures(const QPixmap& ok, const QPixmap& error, const QString& animation);
    uint32_t status() const { return m_status; }

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Attempt
    {
        std::atomic<bool> done{false};
        std::atomic<uint32_t> status{0};
    };
    void startLogin();
    void pollLogin();
    void finishLogin();
    void showStatus(const QString& text, bool failed);
    void closeTick();

    TSkfBinding& m_skf;
    TTimings m_timings;
    int m_slot = 0;
    HAPPLICATION m_application = nullptr;
    uint32_t m_pinType = SKF_USER_TYPE;
    uint32_t m_status = SAR_FAIL;
    int m_countdown = 5;
    QPixmap m_ok;
    QPixmap m_error;
    QString m_animationFile;
    std::shared_ptr<Attempt> m_attempt;
    QElapsedTimer m_since;

    QLabel* m_image;
    QLabel* m_hint;
    QLabel* m_message;
    QPushButton* m_cancel;
    QTimer* m_start;
    QTimer* m_poll;
    QTimer* m_close;
    QMovie* m_movie = nullptr;
};
