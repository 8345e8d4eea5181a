// SPDX-License-Identifier: BSD-3-Clause
#include "TAboutPage.h"

#include "i18n/ResStrs.h"
#include "ui/PageWidgets.h"
#include "ui/TProgramState.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include <openssl/crypto.h>

namespace {

// The built-in picture: drawn here so the page never depends on a file for it.
QPixmap builtInPicture()
{
    QPixmap pixmap(430, 80);
    QPainter painter(&pixmap);
    QLinearGradient gradient(0, 0, 430, 0);
    gradient.setColorAt(0, QColor(0x1f, 0x4e, 0x8c));
    gradient.setColorAt(1, QColor(0x6f, 0xa8, 0xdc));
    painter.fillRect(pixmap.rect(), gradient);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(28);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(pixmap.rect().adjusted(20, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("QX4100"));
    return pixmap;
}

} // namespace

QString TAboutPage::aboutText()
{
    return ResStrs::text("P_Caption").trimmed() + QLatin1Char(' ') + ResStrs::text("About_Version") +
           QLatin1Char(' ') + QStringLiteral(QX_VERSION_STRING) + QLatin1Char('\n') +
           ResStrs::text("About_Copyright") + QLatin1Char('\n') + ResStrs::text("About_License") +
           QLatin1Char('\n') +
           QStringLiteral("Qt %1 · %2")
               .arg(QString::fromLatin1(qVersion()), QString::fromLatin1(OpenSSL_version(OPENSSL_VERSION)));
}

TAboutPage::TAboutPage(TProgramState& state, QWidget* parent) : TPage(state, parent)
{
    setObjectName(QStringLiteral("TabSheet7"));

    auto* image5 = PageWidgets::label(this, "Image5");
    image5->setPixmap(builtInPicture());
    image5->setAlignment(Qt::AlignCenter);
    // Filled from the application's "res" folder when the captions are applied.
    auto* image6 = PageWidgets::label(this, "Image6");
    image6->setAlignment(Qt::AlignCenter);

    // What a user asking for support is asked first: the version, and what it runs on.
    auto* text = PageWidgets::label(this, "LAboutText", aboutText());
    text->setAlignment(Qt::AlignCenter);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(image5);
    layout->addWidget(image6, 1);
    layout->addWidget(text);
}
