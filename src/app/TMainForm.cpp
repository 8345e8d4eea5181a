#include "TMainForm.h"

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setFixedSize(674, 432);
}
