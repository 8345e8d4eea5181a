#include "TLoginPage.h"

#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

using namespace PageWidgets;

TLoginPage::TLoginPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet4"));

    auto* box = group(this, "RzGroupBox3");
    auto* form = formIn(this, box);
    m_lkeyname = nameLabel(box, "Lkeyname");
    m_edtUPIN = edit(box, "edtUPIN", 16, true);
    addRow(form, nullptr, label(box, "Label14"));
    addRow(form, nullptr, m_lkeyname);
    addRow(form, label(box, "RzLabel1"), m_edtUPIN, label(box, "Label10", QStringLiteral("0")));

    m_fingerLogon = action(this, "AcFingerlogon");
    auto* cancel = action(this, "AcCancel");
    // The page's cancel button answers Esc anywhere on the page.
    cancel->setShortcut(Qt::Key_Escape);
    cancel->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(cancel);
    addButtons(form, {button(box, "btnlogon", action(this, "AcLogin")), button(box, "RzButton3", cancel),
                      button(box, "Button20", m_fingerLogon)});
}

void TLoginPage::setKeyName(const QString& label)
{
    m_lkeyname->setText(label);
}
