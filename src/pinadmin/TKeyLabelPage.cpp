#include "TKeyLabelPage.h"

#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

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
    m_edtKeyName = edit(box, "edtKeyName", 31);
    addRow(form, nullptr, label(box, "Label8"));
    addRow(form, nullptr, m_edtKeyName);
    addButtons(form, {button(box, "RzButton1", action(this, "AcSetKeyName"))});
}

void TKeyLabelPage::setKeyName(const QString& label)
{
    m_edtKeyName->setText(label);
}
