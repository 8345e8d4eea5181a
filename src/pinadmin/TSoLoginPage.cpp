#include "TSoLoginPage.h"

#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

using namespace PageWidgets;

TSoLoginPage::TSoLoginPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet18"));

    auto* box = group(this, "RzGroupBox7");
    auto* form = formIn(this, box);
    m_lFingerKeyName = nameLabel(box, "LFingerKeyName");
    addRow(form, nullptr, label(box, "Label12"));
    addRow(form, nullptr, m_lFingerKeyName);
    auto* count = label(box, "Label9");
    count->hide();
    addRow(form, label(box, "RzLabel2", QStringLiteral("SO PIN:")), edit(box, "edtFingerSPIN", 16, true),
           count);

    auto* cancel = action(this, "AcFingerLoginCancel");
    // The page's cancel button answers Esc anywhere on the page.
    cancel->setShortcut(Qt::Key_Escape);
    cancel->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(cancel);
    addButtons(form, {button(box, "RzButton2", action(this, "AcFinger_SOPIN_Login")),
                      button(box, "RzButton4", cancel),
                      button(box, "Button21", action(this, "AcFinger_SOPINFinger_Login"))});
}

void TSoLoginPage::setKeyName(const QString& label)
{
    m_lFingerKeyName->setText(label);
}
