// SPDX-License-Identifier: BSD-3-Clause
#include "TFingerPicturesPage.h"

#include "ui/PageWidgets.h"
#include "ui/TProgramState.h"

#include <QHBoxLayout>
#include <QLabel>

TFingerPicturesPage::TFingerPicturesPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet17"));

    auto* layout = new QHBoxLayout(this);
    for (const char* name : {"ImgOK", "ImgError", "ImgFinger"})
        layout->addWidget(PageWidgets::label(this, name));
}
