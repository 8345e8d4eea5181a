#include "TSoPinPage.h"

#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

using namespace PageWidgets;

TSoPinPage::TSoPinPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet9"));

    auto* box = group(this, "RzGroupBox4");
    auto* form = formIn(this, box);
    addRow(form, label(box, "LAdmin_Old_SOPIN"), edit(box, "edtSPIN", 16, true));
    addRow(form, label(box, "LAdmin_New_SOPIN1"), edit(box, "edtNewSPIN1", 16, true));
    addRow(form, label(box, "LAdmin_new_SOPIN2"), edit(box, "edtNewSPIN2", 16, true));
    addButtons(form, {button(box, "Button10", action(this, "AcSetSOPIN"))});
}
