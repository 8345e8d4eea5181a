#include "TFingerPage.h"

#include "ui/PageWidgets.h"
#include "ui/TActionButton.h"
#include "ui/TProgramState.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace PageWidgets;

namespace {

// Left edges of the finger buttons, finger 1 to 10: five over the left hand, five over the right.
constexpr int kFingerLeft[10] = {14, 49, 82, 116, 155, 220, 256, 292, 326, 360};
constexpr int kFingerTop = 26;

} // namespace

TFingerPage::TFingerPage(TProgramState& state, QWidget* parent)
    : TPage(state, parent), m_pcFinger(new QTabWidget(this))
{
    setObjectName(QStringLiteral("TabSheet15"));
    m_pcFinger->setObjectName(QStringLiteral("PCFinger"));

    auto* tab = new QWidget;
    tab->setObjectName(QStringLiteral("TabSheet16"));
    tab->setMinimumSize(430, 282);
    auto* hand = label(tab, "Imghand");
    hand->setGeometry(16, 9, 392, 253);

    // One handler serves all ten buttons; each carries its finger number as its tag.
    action(this, "AcFingerInput");
    for (int i = 0; i < 10; ++i) {
        auto* b = new QToolButton(tab);
        b->setObjectName(QStringLiteral("SpeedButton%1").arg(i + 1));
        b->setProperty("Tag", i + 1);
        b->setAutoRaise(true);
        b->setCursor(Qt::PointingHandCursor);
        b->setGeometry(kFingerLeft[i], kFingerTop, 32, 32);
        b->setIconSize(QSize(32, 32));
        m_fingers[i] = b;
    }

    auto* info = label(tab, "LFingerInfo1");
    QPalette palette = info->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    info->setPalette(palette);
    info->setGeometry(16, 264, 400, 18);
    m_pcFinger->addTab(tab, QString());

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button(this, "btnFingerTest", action(this, "AcFingerTest")));
    buttons->addWidget(button(this, "btnFingerUnlock", action(this, "AcFingerUnlock")));
    buttons->addWidget(button(this, "btnFingerDel", action(this, "AcFingerDel")));

    auto* layout = new QVBoxLayout(this);
    // The picture of the hands takes nearly the whole page height.
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pcFinger, 1);
    layout->addLayout(buttons);
}

QToolButton* TFingerPage::fingerButton(int finger) const
{
    return finger >= 1 && finger <= 10 ? m_fingers[finger - 1] : nullptr;
}
