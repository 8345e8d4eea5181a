// SPDX-License-Identifier: BSD-3-Clause
#include "BannerPicture.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

QPixmap BannerPicture(const QPixmap& background, const QSize& size, const QString& title,
                      const QString& subtitle)
{
    QPixmap banner(size);
    banner.fill(QColor(0x1f, 0x4e, 0x8c));
    QPainter p(&banner);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    if (!background.isNull())
        p.drawPixmap(0, 0, background);

    // The texts stay left of the picture's token drawing, elided rather than drawn over it.
    const int width = size.width() * 3 / 4;
    QFont titleFont(QStringLiteral("Noto Sans CJK SC"));
    titleFont.setPixelSize(30);
    titleFont.setBold(true);
    p.setFont(titleFont);
    const QString titleText = QFontMetrics(titleFont).elidedText(title, Qt::ElideRight, width);
    p.setPen(QColor(0, 0, 0, 90));
    p.drawText(QPointF(26, 45), titleText);
    p.setPen(Qt::white);
    p.drawText(QPointF(24, 43), titleText);

    QFont subFont(QStringLiteral("Noto Sans CJK SC"));
    subFont.setPixelSize(14);
    p.setFont(subFont);
    p.setPen(QColor(0xdd, 0xee, 0xff));
    p.drawText(QPointF(26, 68), QFontMetrics(subFont).elidedText(subtitle, Qt::ElideRight, width));
    return banner;
}
