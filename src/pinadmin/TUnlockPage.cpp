#include "TUnlockPage.h"

#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

using namespace PageWidgets;

TUnlockPage::TUnlockPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet10"));

    auto* box = group(this, "RzGroupBox5");
    auto* form = formIn(this, box);
    addRow(form, label(box, "LAdmin_SOPIN"), edit(box, "edtSPINForUnLock", 16, true));
    addRow(form, label(box, "LAdmin_New_UPIN1"), edit(box, "edtUPINForUnlock1", 16, true));
    addRow(form, label(box, "LAdmin_New_UPIN2"), edit(box, "edtUPINForUnlock2", 16, true));
    addButtons(form, {button(box, "Button11", action(this, "AcUnlock"))});
}
