// SPDX-License-Identifier: BSD-3-Clause
#include "TRemoteUnlockPage.h"

#include "i18n/ResStrs.h"
#include "platform/ActionUpdater.h"
#include "token/AnsiText.h"
#include "token/CerMgrApis.h"
#include "token/TokenStatus.h"
#include "ui/Messages.h"
#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace PageWidgets;

namespace {
int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
} // namespace

TRemoteUnlockPage::TRemoteUnlockPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet20"));

    auto* box = group(this, "RzGroupBox8");
    auto* form = formIn(this, box);

    m_hint = unsupportedHint(form, box, "lblUnlockNotSupported", ResStrs::text("P_Unlock_NotSupported"));
    // The challenge is shown, never typed: read-only on the button face.
    m_edtRequestStr = new QLineEdit(box);
    m_edtRequestStr->setObjectName(QStringLiteral("edtRequestStr"));
    m_edtRequestStr->setReadOnly(true);
    QPalette palette = m_edtRequestStr->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    m_edtRequestStr->setPalette(palette);
    m_request = action(this, "AcRequest");
    addRow(form, label(box, "Label44"), m_edtRequestStr, button(box, "Button22", m_request));

    m_edtUnlockCode = new QPlainTextEdit(box);
    m_edtUnlockCode->setObjectName(QStringLiteral("edtUnlockCode"));
    m_edtUnlockCode->setFixedHeight(90);
    addRow(form, label(box, "Label45"), m_edtUnlockCode);
    form->setAlignment(form->itemAtPosition(form->rowCount() - 1, 0)->widget(),
                       Qt::AlignRight | Qt::AlignTop);

    m_unlock = action(this, "AcRemoteUnLock");
    addButtons(form, {button(box, "Button23", m_unlock)});

    connect(m_request, &QAction::triggered, this, &TRemoteUnlockPage::request);
    connect(m_unlock, &QAction::triggered, this, &TRemoteUnlockPage::unlock);
    // A token without challenge and response keeps both steps off and says why.
    ActionUpdater::instance().add(m_request, [this] {
        const bool can = currentTokenCan(TQ7Info::RemoteUnlock);
        m_hint->setVisible(!can);
        m_edtUnlockCode->setEnabled(can);
        return can;
    });
    ActionUpdater::instance().add(m_unlock, [this] { return currentTokenCan(TQ7Info::RemoteUnlock); });
}

QByteArray TRemoteUnlockPage::decodeResponse(const QByteArray& text)
{
    Q_ASSERT(text.size() <= 2 * ResponseBufferSize);
    const qsizetype pairs = qMin(text.size() / 2, ResponseBufferSize);
    QByteArray bytes(pairs, '\0');
    for (qsizetype i = 0; i < pairs; ++i) {
        const int high = hexDigit(text[2 * i]);
        const int low = hexDigit(text[2 * i + 1]);
        if (high >= 0 && low >= 0)
            bytes[i] = char(high * 16 + low);
    }
    return bytes;
}

void TRemoteUnlockPage::request()
{
    TTokenSession* token = presentSession();
    if (!token)
        return;
    const int slot = token->slot();
    QByteArray challenge;
    const quint32 status = CerMgrApis::GetChallenge(slot, challenge);
    if (status == TokenStatus::NotSupported) {
        Messages::information(window(), ResStrs::text("P_Unlock_NotSupported"));
        return;
    }
    if (status != 0) {
        Messages::information(window(), ResStrs::format("P_GenError", qint32(status)));
        return;
    }
    m_edtRequestStr->setText(QString::fromLatin1(challenge.left(ChallengeBytes).toHex().toUpper()));
}

void TRemoteUnlockPage::unlock()
{
    TTokenSession* token = presentSession();
    if (!token)
        return;
    const int slot = token->slot();
    // Whatever comes of it, the certificates ask for a login next time.
    token->setLogin(TTokenSession::Login::Found);
    QWidget* owner = window();

    // Copying a code from a mail or a chat brings blanks and a line break along; decoded, they would
    // end the response with a zero byte the token does not expect.
    const QByteArray text = AnsiText::encode(m_edtUnlockCode->toPlainText().trimmed());
    if (text.size() > 2 * ResponseBufferSize) {
        Messages::information(owner, ResStrs::text("P_ResponseTooLong"));
        return;
    }
    const QByteArray response = decodeResponse(text);
    const quint32 status = CerMgrApis::RemoteUnlockUserPin(slot, response, qint32(response.size()));
    if (status == TokenStatus::NotSupported) {
        Messages::information(owner, ResStrs::text("P_Unlock_NotSupported"));
        return;
    }
    Messages::information(owner, status == 0 ? ResStrs::text("P_UnlockOK")
                                             : ResStrs::format("P_UnlockError", qint32(status)));
}
