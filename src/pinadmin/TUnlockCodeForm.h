// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// The administrator's response generator: a token's serial number and the challenge its user read
// from the remote unlock page give the response code that unlocks the token's user PIN there.
class TUnlockCodeForm : public QDialog
{
    Q_OBJECT
public:
    explicit TUnlockCodeForm(QWidget* parent = nullptr);

    QLineEdit* serialEdit() const { return m_serial; }
    QLineEdit* challengeEdit() const { return m_challenge; }
    QLineEdit* responseEdit() const { return m_response; }
    QPushButton* generateButton() const { return m_generate; }

public Q_SLOTS:
    // Computes the response for the serial and challenge typed, or says why it cannot.
    void generate();

private:
    QLineEdit* m_serial;
    QLineEdit* m_challenge;
    QLineEdit* m_response;
    QPushButton* m_generate;
};
