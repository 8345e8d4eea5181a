#include "TMainForm.h"

#include "i18n/CaptionApplier.h"

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setFixedSize(674, 432);
    // Texts, font, caption and pictures from the catalog come first, once the controls exist and
    // before the rest of the window's set-up.
    CaptionApplier::apply(this);
}
