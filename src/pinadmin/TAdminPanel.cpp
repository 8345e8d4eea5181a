// SPDX-License-Identifier: BSD-3-Clause
#include "TAdminPanel.h"

#include "TUnlockCodeForm.h"
#include "i18n/ResStrs.h"
#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"

#include <QAction>
#include <QHBoxLayout>

TAdminPanel::TAdminPanel(bool admin, QWidget* parent) : QWidget(parent), m_admin(admin)
{
    setObjectName(QStringLiteral("Panel_Admin"));
    m_genUnlockCode = PageWidgets::action(this, "AcGenUnlockCode");
    m_genUnlockCode->setText(ResStrs::text("P_GenResporse"));
    m_genUnlockCode->setEnabled(admin);
    auto* button24 = PageWidgets::button(this, "Button24", m_genUnlockCode);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(button24);
    connect(m_genUnlockCode, &QAction::triggered, this, &TAdminPanel::genUnlockCode);
    setVisible(admin);
}

void TAdminPanel::genUnlockCode()
{
    // Reached only in administrator mode, whatever triggers the action.
    if (!m_admin)
        return;
    if (!m_generator) {
        m_generator = new TUnlockCodeForm(window());
        m_generator->setAttribute(Qt::WA_DeleteOnClose);
    }
    // Not modal: on a demonstration machine the remote unlock page stays usable beside it.
    m_generator->show();
    m_generator->raise();
    m_generator->activateWindow();
}
