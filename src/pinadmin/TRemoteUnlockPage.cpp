#include "TRemoteUnlockPage.h"

#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace PageWidgets;

TRemoteUnlockPage::TRemoteUnlockPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet20"));

    auto* box = group(this, "RzGroupBox8");
    auto* form = formIn(this, box);

    // The challenge is shown, never typed: read-only on the button face.
    auto* request = new QLineEdit(box);
    request->setObjectName(QStringLiteral("edtRequestStr"));
    request->setReadOnly(true);
    QPalette palette = request->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    request->setPalette(palette);
    addRow(form, label(box, "Label44"), request, button(box, "Button22", action(this, "AcRequest")));

    auto* response = new QPlainTextEdit(box);
    response->setObjectName(QStringLiteral("edtUnlockCode"));
    response->setFixedHeight(90);
    addRow(form, label(box, "Label45"), response);
    form->setAlignment(form->itemAtPosition(form->rowCount() - 1, 0)->widget(),
                       Qt::AlignRight | Qt::AlignTop);

    addButtons(form, {button(box, "Button23", action(this, "AcRemoteUnLock"))});
}
