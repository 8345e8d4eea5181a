#include "TFingerPicturesPage.h"

#include "app/PageWidgets.h"
#include "app/TProgramState.h"

#include <QHBoxLayout>
#include <QLabel>

TFingerPicturesPage::TFingerPicturesPage(TProgramState& state, QWidget* parent)
    : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("TabSheet17"));

    auto* layout = new QHBoxLayout(this);
    for (const char* name : {"ImgOK", "ImgError", "ImgFinger"})
        layout->addWidget(PageWidgets::label(this, name));
}
