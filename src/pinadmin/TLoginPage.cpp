#include "TLoginPage.h"

#include "app/PageWidgets.h"
#include "app/TActionButton.h"
#include "app/TProgramState.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

using namespace PageWidgets;

TLoginPage::TLoginPage(TProgramState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet4"));

    auto* box = group(this, "RzGroupBox3");
    auto* form = formIn(this, box);
    m_lkeyname = nameLabel(box, "Lkeyname");
    m_edtUPIN = edit(box, "edtUPIN", 16, true);
    addRow(form, nullptr, label(box, "Label14"));
    addRow(form, nullptr, m_lkeyname);
    addRow(form, label(box, "RzLabel1"), m_edtUPIN, label(box, "Label10", QStringLiteral("0")));

    auto* cancel = action(this, "AcCancel");
    // The page's cancel button answers Esc anywhere on the page.
    cancel->setShortcut(Qt::Key_Escape);
    cancel->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(cancel);
    addButtons(form, {button(box, "btnlogon", action(this, "AcLogin")), button(box, "RzButton3", cancel),
                      button(box, "Button20", action(this, "AcFingerlogon"))});
}

void TLoginPage::setKeyName(const QString& label)
{
    m_lkeyname->setText(label);
}
