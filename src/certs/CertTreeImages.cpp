// SPDX-License-Identifier: BSD-3-Clause
#include "CertTreeImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTreeWidgetItem>

#include <array>

namespace {

constexpr int IndexRole = Qt::UserRole + 0x101;
constexpr int MarkerRole = Qt::UserRole + 0x102;
constexpr int Size = 16;

void drawBox(QPainter& p, bool open)
{
    p.setPen(QColor(0x8a, 0x6d, 0x1f));
    p.setBrush(QColor(0xe8, 0xc0, 0x4a));
    p.drawRect(1, 4, 13, 10);
    p.drawRect(1, 2, 6, 2);
    if (open) {
        p.setBrush(QColor(0xf7, 0xdc, 0x80));
        const QPointF lid[] = {{3, 7}, {15, 7}, {13, 14}, {1, 14}};
        p.drawPolygon(lid, 4);
    }
}

void drawCertificate(QPainter& p)
{
    p.setPen(QColor(0x4a, 0x5a, 0x70));
    p.setBrush(Qt::white);
    p.drawRect(2, 1, 11, 13);
    p.drawLine(4, 4, 11, 4);
    p.drawLine(4, 6, 11, 6);
    p.drawLine(4, 8, 8, 8);
    p.setPen(QColor(0xa0, 0x20, 0x20));
    p.setBrush(QColor(0xd8, 0x3a, 0x3a));
    p.drawEllipse(QPointF(11, 12), 2.5, 2.5);
}

void drawKey(QPainter& p, const QColor& fill)
{
    p.setPen(fill.darker(160));
    p.setBrush(fill);
    p.drawEllipse(QPointF(5, 8), 3.5, 3.5);
    p.drawRect(8, 7, 7, 2);
    p.drawRect(12, 9, 1, 2);
    p.drawRect(14, 9, 1, 3);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(4.5, 8), 1, 1);
}

QIcon draw(int index)
{
    QPixmap pixmap(Size, Size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
    case CertTreeImages::Closed:
    case CertTreeImages::Open:
        drawBox(p, index == CertTreeImages::Open);
        break;
    case CertTreeImages::Certificate:
        drawCertificate(p);
        break;
    case CertTreeImages::PublicKey:
        drawKey(p, QColor(0x3c, 0xa0, 0x50));
        break;
    case CertTreeImages::PrivateKey:
        drawKey(p, QColor(0xe0, 0xa8, 0x20));
        break;
    default:
        break;
    }
    p.end();
    return QIcon(pixmap);
}

// The badge fills the lower right 9 x 9 pixels, over a white disc so it reads on any picture.
void drawMarker(QPainter& p, CertTreeImages::Marker marker)
{
    using CertTreeImages::Marker;
    const QRectF disc(7, 7, 9, 9);
    QColor fill;
    switch (marker) {
    case Marker::Expiring:
        fill = QColor(0xe0, 0x90, 0x10);
        break;
    case Marker::Expired:
        fill = QColor(0xd0, 0x20, 0x20);
        break;
    case Marker::NotYetValid:
        fill = QColor(0x20, 0x60, 0xc0);
        break;
    case Marker::None:
        return;
    }
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(fill);
    p.drawEllipse(disc);
    p.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap));
    const QPointF c = disc.center();
    if (marker == Marker::Expired) {
        p.drawLine(c + QPointF(-2, -2), c + QPointF(2, 2));
        p.drawLine(c + QPointF(-2, 2), c + QPointF(2, -2));
    } else if (marker == Marker::Expiring) {
        // Clock hands.
        p.drawLine(c, c + QPointF(0, -2.8));
        p.drawLine(c, c + QPointF(2.2, 0));
    } else {
        // Hourglass.
        const QPointF glass[] = {c + QPointF(-2, -2.6), c + QPointF(2, -2.6), c + QPointF(-2, 2.6),
                                 c + QPointF(2, 2.6)};
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(glass, 4);
    }
}

} // namespace

QIcon CertTreeImages::markedIcon(int index, Marker marker)
{
    if (marker == Marker::None)
        return icon(index);
    QPixmap pixmap = icon(index).pixmap(Size, Size);
    if (pixmap.isNull()) {
        pixmap = QPixmap(Size, Size);
        pixmap.fill(Qt::transparent);
    }
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    drawMarker(p, marker);
    p.end();
    return QIcon(pixmap);
}

QIcon CertTreeImages::icon(int index)
{
    if (index < 0 || index >= Count)
        return {};
    // Drawn once; a tree of many containers reuses them.
    static std::array<QIcon, Count> icons;
    if (icons[size_t(index)].isNull())
        icons[size_t(index)] = draw(index);
    return icons[size_t(index)];
}

void CertTreeImages::setImage(QTreeWidgetItem* item, int index)
{
    item->setIcon(0, markedIcon(index, marker(item)));
    item->setData(0, IndexRole, index);
}

void CertTreeImages::setMarker(QTreeWidgetItem* item, Marker marker)
{
    item->setData(0, MarkerRole, int(marker));
    item->setIcon(0, markedIcon(imageIndex(item), marker));
}

CertTreeImages::Marker CertTreeImages::marker(const QTreeWidgetItem* item)
{
    const int value = item->data(0, MarkerRole).toInt();
    return value >= int(Marker::None) && value <= int(Marker::NotYetValid) ? Marker(value) : Marker::None;
}

int CertTreeImages::imageIndex(const QTreeWidgetItem* item)
{
    bool ok = false;
    const int index = item->data(0, IndexRole).toInt(&ok);
    return ok ? index : -1;
}
