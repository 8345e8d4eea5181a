#include "TIsoPage.h"

#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QToolButton>

using namespace PageWidgets;

TIsoPage::TIsoPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet11"));

    auto* box = group(this, "RzGroupBox6");
    auto* form = formIn(this, box);
    addRow(form, label(box, "LAdmin_UPIN"), edit(box, "edtUPINForDownISO", 16, true));

    // The path field carries its own narrow browse button.
    auto* pathField = new QWidget(box);
    auto* edtPath = new QLineEdit(pathField);
    edtPath->setObjectName(QStringLiteral("edtPath"));
    auto* browse = new QToolButton(pathField);
    browse->setObjectName(QStringLiteral("edtPathButton"));
    browse->setText(QStringLiteral("…"));
    // Narrow, yet never narrower than its own three dots.
    browse->setFixedWidth(qMax(15, browse->sizeHint().width()));
    auto* pathRow = new QHBoxLayout(pathField);
    pathRow->setContentsMargins(0, 0, 0, 0);
    pathRow->setSpacing(0);
    pathRow->addWidget(edtPath);
    pathRow->addWidget(browse);
    addRow(form, label(box, "LAdmin_ISOPath"), pathField);

    auto* pbIso = new QProgressBar(box);
    pbIso->setObjectName(QStringLiteral("PBISO"));
    pbIso->setValue(0);
    pbIso->setTextVisible(false);
    addRow(form, nullptr, pbIso);
    addButtons(form, {button(box, "Button8", action(this, "AcDownISO"))});
}
