// SPDX-License-Identifier: BSD-3-Clause
#include "TUnlockCodeForm.h"

#include "i18n/ResStrs.h"
#include "token/CerMgrApis.h"
#include "token/TokenStatus.h"
#include "ui/Messages.h"
#include "ui/PageWidgets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

namespace {
// Serials are at most 32 characters; a challenge is 16 digits, read aloud or pasted with blanks.
constexpr int MaxSerial = 32;
constexpr int MaxChallengeText = 32;
} // namespace

TUnlockCodeForm::TUnlockCodeForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("UnlockCodeForm"));
    setWindowTitle(ResStrs::text("P_GenResporse"));

    m_serial = PageWidgets::edit(this, "edtGenSerial", MaxSerial);
    m_challenge = PageWidgets::edit(this, "edtGenRequest", MaxChallengeText);
    // Shown, never typed: read-only on the button face, selectable for copying.
    m_response = PageWidgets::edit(this, "edtGenResponse", 2 * CerMgrApis::ChallengeBytes);
    m_response->setReadOnly(true);
    QPalette palette = m_response->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    m_response->setPalette(palette);
    for (QLineEdit* e : {m_serial, m_challenge, m_response}) {
        e->setMinimumWidth(260);
        QFont mono = e->font();
        mono.setFamily(QStringLiteral("monospace"));
        mono.setStyleHint(QFont::TypeWriter);
        e->setFont(mono);
    }

    m_generate = new QPushButton(ResStrs::text("P_Gen"), this);
    m_generate->setObjectName(QStringLiteral("btnGenResponse"));
    // Enter in either field generates.
    m_generate->setDefault(true);
    auto* close = new QPushButton(ResStrs::text("P_Btn_Close"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    close->setAutoDefault(false);

    const QLatin1Char colon(':');
    auto* form = new QGridLayout(this);
    form->addWidget(PageWidgets::label(this, "LGenSerial", ResStrs::text("K_Info_Sn").trimmed() + colon), 0,
                    0, Qt::AlignRight);
    form->addWidget(m_serial, 0, 1);
    form->addWidget(PageWidgets::label(this, "LGenRequest", ResStrs::text("P_Request") + colon), 1, 0,
                    Qt::AlignRight);
    form->addWidget(m_challenge, 1, 1);
    form->addWidget(PageWidgets::label(this, "LGenResponse", ResStrs::text("P_Resporse") + colon), 2, 0,
                    Qt::AlignRight);
    form->addWidget(m_response, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_generate);
    buttons->addWidget(close);
    form->addLayout(buttons, 3, 0, 1, 2);

    connect(m_generate, &QPushButton::clicked, this, &TUnlockCodeForm::generate);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    // A response stays beside the input it was made for, never beside another.
    for (QLineEdit* e : {m_serial, m_challenge})
        connect(e, &QLineEdit::textChanged, m_response, &QLineEdit::clear);
}

void TUnlockCodeForm::generate()
{
    m_response->clear();
    const QString serial = m_serial->text().trimmed();
    if (serial.isEmpty()) {
        Messages::information(this, ResStrs::text("P_GenResporse_NoSerial"));
        m_serial->setFocus();
        return;
    }
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    static const QRegularExpression hexDigits(
        QStringLiteral("^[0-9A-Fa-f]{%1}$").arg(2 * CerMgrApis::ChallengeBytes));
    const QString challengeText = m_challenge->text().remove(blanks);
    if (!hexDigits.match(challengeText).hasMatch()) {
        Messages::information(this, ResStrs::text("P_GenResporse_BadChallenge"));
        m_challenge->setFocus();
        return;
    }
    QByteArray response;
    const quint32 status =
        CerMgrApis::GenUnlockResponse(serial, QByteArray::fromHex(challengeText.toLatin1()), response);
    if (status == TokenStatus::NotSupported) {
        Messages::information(this, ResStrs::text("P_GenResporse_Issuer"));
        return;
    }
    if (status == TokenStatus::NotFound) {
        Messages::information(this, ResStrs::text("P_GenResporse_NoToken"));
        m_serial->setFocus();
        return;
    }
    if (status != TokenStatus::Success) {
        Messages::information(this, ResStrs::format("P_GenError", qint32(status)));
        return;
    }
    m_response->setText(QString::fromLatin1(response.toHex().toUpper()));
    m_response->setFocus();
    m_response->selectAll();
}
