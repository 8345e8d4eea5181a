#include "TUserPinPage.h"

#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

using namespace PageWidgets;

TUserPinPage::TUserPinPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet2"));

    auto* box = group(this, "RzGroupBox1");
    auto* form = formIn(this, box);
    addRow(form, label(box, "Label2"), edit(box, "edtOldUPin", 16, true));
    addRow(form, label(box, "Label3"), edit(box, "edtNewUPin1", 16, true));
    addRow(form, label(box, "Label4"), edit(box, "edtNewUPin2", 16, true));
    addButtons(form, {button(box, "btnOK", action(this, "AcSetUserPIN"))});
}
