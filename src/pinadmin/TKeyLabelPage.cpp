// SPDX-License-Identifier: BSD-3-Clause
#include "TKeyLabelPage.h"

#include "i18n/ResStrs.h"
#include "platform/ActionUpdater.h"
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

using namespace PageWidgets;

TKeyLabelPage::TKeyLabelPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet3"));

    auto* box = group(this, "RzGroupBox2");
    auto* form = formIn(this, box);
    m_hint = unsupportedHint(form, box, "lblLabelNotSupported", ResStrs::text("K_Label_NotSupported"));
    m_edtKeyName = edit(box, "edtKeyName", 31);
    addRow(form, nullptr, label(box, "Label8"));
    addRow(form, nullptr, m_edtKeyName);
    m_setKeyName = action(this, "AcSetKeyName");
    addButtons(form, {button(box, "RzButton1", m_setKeyName)});

    connect(m_setKeyName, &QAction::triggered, this, &TKeyLabelPage::changeKeyName);
    // Blanks count: a label of blanks only clears the token's label.
    ActionUpdater::instance().add(m_setKeyName, [this] {
        const bool can = currentTokenCan(TQ7Info::SetLabel);
        m_hint->setVisible(!can);
        m_edtKeyName->setEnabled(can);
        return can && !m_edtKeyName->text().isEmpty();
    });
}

void TKeyLabelPage::setKeyName(const QString& label)
{
    m_edtKeyName->setText(label);
}

void TKeyLabelPage::changeKeyName()
{
    TTokenSession* token = presentSession();
    if (!token)
        return;
    const int slot = token->slot();
    QWidget* owner = window();
    // Enter in the field runs this even while the action is off.
    if (!currentTokenCan(TQ7Info::SetLabel)) {
        Messages::information(owner, ResStrs::text("K_Label_NotSupported"));
        return;
    }
    CerMgrApis::ReadPinState(slot, PinType::User, token->pinState());
    if (token->pinState().Locked == 1) {
        Messages::information(owner, ResStrs::text("K_Dead"));
        return;
    }
    const QString label = m_edtKeyName->text().trimmed();
    // The field counts characters, the token bytes: eleven Chinese characters fill 33 bytes.
    if (label.toUtf8().size() > MaxLabelBytes) {
        m_edtKeyName->setFocus();
        Messages::information(owner, ResStrs::text("K_Len_Error"));
        return;
    }
    const quint32 status = CerMgrApis::SetTokenLabel(slot, label);
    if (status != 0) {
        Messages::information(
            owner, ResStrs::text(status == TokenStatus::NotSupported ? "K_Label_NotSupported" : "K_Set_No"));
        return;
    }
    token->info().Label = label;
    Q_EMIT labelChanged(slot, label);
    Messages::information(owner, ResStrs::text("K_Set_Yes"));
}
