// SPDX-License-Identifier: BSD-3-Clause
// Draws the tool's pictures: the banner (674 x 85), the about picture and the navigation tree's
// image strip (23 images of 16 x 16, index i at x = 16 * i). Everything is drawn here from
// primitives, so the pictures belong to the project.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor kBlue(0x1f, 0x5f, 0xa8);
const QColor kDarkBlue(0x12, 0x3a, 0x6b);
const QColor kGold(0xe0, 0xa8, 0x20);
const QColor kGreen(0x2e, 0x8b, 0x57);
const QColor kRed(0xc0, 0x39, 0x2b);
const QColor kGrey(0x70, 0x78, 0x80);

// A USB token lying on its side: body, connector and a light.
void drawToken(QPainter& p, const QRectF& body, const QColor& colour)
{
    const qreal h = body.height();
    p.setPen(QPen(colour.darker(150), h * 0.08));
    p.setBrush(QColor(0xc8, 0xcc, 0xd0));
    p.drawRect(QRectF(body.right() - 1, body.top() + h * 0.22, h * 0.6, h * 0.56));
    QLinearGradient g(body.topLeft(), body.bottomLeft());
    g.setColorAt(0, colour.lighter(140));
    g.setColorAt(1, colour);
    p.setBrush(g);
    p.drawRoundedRect(body, h * 0.3, h * 0.3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x7c, 0xfc, 0x00));
    p.drawEllipse(QPointF(body.left() + h * 0.4, body.center().y()), h * 0.13, h * 0.13);
}

void drawPadlock(QPainter& p, bool open, const QColor& colour)
{
    p.setPen(QPen(kGrey.darker(130), 1.6));
    p.setBrush(Qt::NoBrush);
    QPainterPath shackle;
    shackle.moveTo(5, 8);
    shackle.lineTo(5, 5);
    shackle.arcTo(QRectF(5, 1.5, 6, 7), 180, -180);
    shackle.lineTo(11, open ? 4 : 8);
    p.drawPath(open ? shackle.translated(3, -1) : shackle);
    p.setPen(QPen(colour.darker(150), 0.8));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(3, 7.5, 10, 7.5), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(colour.darker(200));
    p.drawEllipse(QPointF(8, 10.6), 1.2, 1.2);
    p.drawRect(QRectF(7.5, 11, 1, 2.5));
}

void drawDocument(QPainter& p, qreal dx, qreal dy, const QColor& line)
{
    p.setPen(QPen(kGrey, 0.8));
    p.setBrush(Qt::white);
    QPainterPath doc;
    doc.moveTo(dx + 2.5, dy + 1.5);
    doc.lineTo(dx + 9.5, dy + 1.5);
    doc.lineTo(dx + 12.5, dy + 4.5);
    doc.lineTo(dx + 12.5, dy + 14.5);
    doc.lineTo(dx + 2.5, dy + 14.5);
    doc.closeSubpath();
    p.drawPath(doc);
    p.setPen(QPen(line, 0.9));
    for (qreal y : {5.0, 7.5, 10.0})
        p.drawLine(QPointF(dx + 4.5, dy + y), QPointF(dx + 10.5, dy + y));
}

void drawCertificate(QPainter& p, qreal dx, qreal dy)
{
    drawDocument(p, dx, dy, kBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawEllipse(QPointF(dx + 10, dy + 12), 2.6, 2.6);
    p.setBrush(kGold);
    p.drawEllipse(QPointF(dx + 10, dy + 12), 1.3, 1.3);
}

void drawPerson(QPainter& p, const QColor& colour, qreal dx = 0)
{
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(dx + 8, 5), 3, 3);
    p.drawChord(QRectF(dx + 2.5, 9, 11, 11), 0, 180 * 16);
}

void drawArrow(QPainter& p, QPointF from, QPointF to, const QColor& colour)
{
    p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const qreal a = qAtan2(to.y() - from.y(), to.x() - from.x());
    QPolygonF head;
    head << to + QPointF(qCos(a) * 2, qSin(a) * 2) << to + QPointF(qCos(a + 2.3) * 4, qSin(a + 2.3) * 4)
         << to + QPointF(qCos(a - 2.3) * 4, qSin(a - 2.3) * 4);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(head);
}

void drawFingerprint(QPainter& p, const QColor& colour)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, 0.9, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 5; ++i) {
        const qreal r = 1.2 + i * 1.35;
        p.drawArc(QRectF(8 - r, 8.5 - r * 1.25, 2 * r, 2.5 * r), (-30 + i * 8) * 16, (240 - i * 10) * 16);
    }
}

void drawPadlockFour(QPainter& p)
{
    // The PIN icon: a padlock with three stars beneath the shackle.
    drawPadlock(p, false, kGold);
    p.setPen(Qt::NoPen);
    p.setBrush(kDarkBlue);
    for (qreal x : {5.5, 8.0, 10.5})
        p.drawEllipse(QPointF(x, 12.8), 0.8, 0.8);
}

using IconPainter = std::function<void(QPainter&)>;

const IconPainter kIcons[23] = {
    // 0: a token
    [](QPainter& p) { drawToken(p, QRectF(1, 5, 10, 6), kBlue); },
    // 1: a key
    [](QPainter& p) {
        p.setPen(QPen(kGold.darker(140), 1));
        p.setBrush(kGold);
        p.drawEllipse(QPointF(4.5, 8), 3.2, 3.2);
        p.drawRect(QRectF(7.5, 7, 7, 2));
        p.drawRect(QRectF(11.5, 9, 1.5, 2.5));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(4, 8), 1, 1);
    },
    // 2: a certificate
    [](QPainter& p) { drawCertificate(p, 0, 0); },
    // 3: certificates
    [](QPainter& p) {
        drawDocument(p, 2, -1, kGrey);
        drawCertificate(p, -1, 1);
    },
    // 4: a PIN (padlock with stars)
    [](QPainter& p) { drawPadlockFour(p); },
    // 5: a container
    [](QPainter& p) {
        p.setPen(QPen(QColor(0x8b, 0x5a, 0x2b), 0.9));
        p.setBrush(QColor(0xde, 0xb8, 0x87));
        p.drawRect(QRectF(2, 6, 12, 8));
        p.setBrush(QColor(0xf0, 0xd0, 0xa0));
        p.drawPolygon(QPolygonF({QPointF(2, 6), QPointF(4, 2.5), QPointF(12, 2.5), QPointF(14, 6)}));
    },
    // 6: a user
    [](QPainter& p) { drawPerson(p, kBlue); },
    // 7: about (information)
    [](QPainter& p) {
        QRadialGradient g(QPointF(6, 5), 9);
        g.setColorAt(0, kBlue.lighter(150));
        g.setColorAt(1, kBlue);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 4.6), 1.2, 1.2);
        p.drawRoundedRect(QRectF(6.9, 6.8, 2.2, 6), 0.8, 0.8);
    },
    // 8: settings (gear)
    [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kGrey);
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(8, 8);
            p.rotate(i * 45);
            p.drawRect(QRectF(-1.2, -7, 2.4, 3));
            p.restore();
        }
        p.drawEllipse(QPointF(8, 8), 5, 5);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 8), 2, 2);
    },
    // 9: the token list
    [](QPainter& p) {
        drawToken(p, QRectF(1, 1.5, 9, 5), kGreen);
        drawToken(p, QRectF(1, 9, 9, 5), kBlue);
    },
    // 10: system information (a monitor)
    [](QPainter& p) {
        p.setPen(QPen(kGrey.darker(150), 0.9));
        p.setBrush(kGrey);
        p.drawRect(QRectF(6.5, 11.5, 3, 2));
        p.drawRect(QRectF(4, 13.5, 8, 1.5));
        p.setBrush(QColor(0x30, 0x30, 0x30));
        p.drawRoundedRect(QRectF(1, 2, 14, 10), 1, 1);
        QLinearGradient g(0, 3, 0, 11);
        g.setColorAt(0, QColor(0x6f, 0xb8, 0xff));
        g.setColorAt(1, kBlue);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRect(QRectF(2.5, 3.5, 11, 7));
    },
    // 11: a name (label tag)
    [](QPainter& p) {
        p.setPen(QPen(kGold.darker(150), 0.9));
        p.setBrush(QColor(0xff, 0xe0, 0x80));
        p.drawPolygon(QPolygonF({QPointF(1.5, 8), QPointF(6, 3), QPointF(14.5, 3), QPointF(14.5, 13),
                                 QPointF(6, 13)}));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(5.5, 8), 1.2, 1.2);
        p.setPen(QPen(kDarkBlue, 1));
        p.drawLine(QPointF(8.5, 6.5), QPointF(12.5, 6.5));
        p.drawLine(QPointF(8.5, 9.5), QPointF(12.5, 9.5));
    },
    // 12: a shield
    [](QPainter& p) {
        QPainterPath s;
        s.moveTo(8, 1.5);
        s.lineTo(14, 3.5);
        s.cubicTo(14, 10, 11, 13, 8, 15);
        s.cubicTo(5, 13, 2, 10, 2, 3.5);
        s.closeSubpath();
        p.setPen(QPen(kDarkBlue, 0.9));
        p.setBrush(kBlue);
        p.drawPath(s);
        p.setPen(QPen(Qt::white, 1.5));
        p.drawLine(QPointF(5, 8), QPointF(7.5, 10.5));
        p.drawLine(QPointF(7.5, 10.5), QPointF(11.5, 5.5));
    },
    // 13: refresh
    [](QPainter& p) {
        p.setPen(QPen(kGreen, 2, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2.5, 2.5, 11, 11), 30 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawPolygon(QPolygonF({QPointF(15, 2.5), QPointF(15, 8), QPointF(9.5, 5.5)}));
    },
    // 14: import
    [](QPainter& p) {
        drawDocument(p, 2, 0, kGrey);
        drawArrow(p, QPointF(1, 8), QPointF(8, 8), kGreen);
    },
    // 15: export
    [](QPainter& p) {
        drawDocument(p, -1, 0, kGrey);
        drawArrow(p, QPointF(7, 8), QPointF(14, 8), kBlue);
    },
    // 16: delete
    [](QPainter& p) {
        p.setPen(QPen(kGrey.darker(150), 0.9));
        p.setBrush(QColor(0xd8, 0xdc, 0xe0));
        p.drawPolygon(QPolygonF({QPointF(3.5, 4.5), QPointF(12.5, 4.5), QPointF(11.5, 15), QPointF(4.5, 15)}));
        p.drawRect(QRectF(2, 2.5, 12, 2));
        p.drawRect(QRectF(6, 1, 4, 1.5));
        for (qreal x : {6.0, 8.0, 10.0})
            p.drawLine(QPointF(x, 6.5), QPointF(x, 13));
    },
    // 17: a warning
    [](QPainter& p) {
        p.setPen(QPen(kGold.darker(160), 0.9));
        p.setBrush(QColor(0xff, 0xd0, 0x30));
        p.drawPolygon(QPolygonF({QPointF(8, 1.5), QPointF(15, 14.5), QPointF(1, 14.5)}));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRect(QRectF(7.2, 5.5, 1.6, 5));
        p.drawEllipse(QPointF(8, 12.5), 0.9, 0.9);
    },
    // 18: a fingerprint
    [](QPainter& p) { drawFingerprint(p, QColor(0x8b, 0x45, 0x13)); },
    // 19: an administrator
    [](QPainter& p) {
        drawPerson(p, kDarkBlue, -1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(kGold);
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const qreal r = i % 2 ? 1.4 : 3.2;
            const qreal a = -M_PI / 2 + i * M_PI / 5;
            star << QPointF(12 + r * qCos(a), 4 + r * qSin(a));
        }
        p.drawPolygon(star);
    },
    // 20: a disc image
    [](QPainter& p) {
        QRadialGradient g(QPointF(6, 6), 9);
        g.setColorAt(0, QColor(0xf0, 0xf0, 0xff));
        g.setColorAt(0.5, QColor(0xb0, 0xd0, 0xf0));
        g.setColorAt(1, QColor(0xd0, 0xb0, 0xe0));
        p.setPen(QPen(kGrey, 0.8));
        p.setBrush(g);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(8, 8), 2, 2);
    },
    // 21: unlock
    [](QPainter& p) { drawPadlock(p, true, kGreen); },
    // 22: remote unlock (an open padlock with a signal)
    [](QPainter& p) {
        p.save();
        p.translate(-1.5, 1);
        p.scale(0.9, 0.9);
        drawPadlock(p, true, kBlue);
        p.restore();
        p.setPen(QPen(kRed, 1, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(10, 0.5, 5, 5), -30 * 16, 120 * 16);
        p.drawArc(QRectF(8, -1.5, 9, 9), -30 * 16, 120 * 16);
    },
};

QImage treeStrip()
{
    QImage strip(16 * 23, 16, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    for (int i = 0; i < 23; ++i) {
        // Drawn four times larger, then scaled down for smooth edges.
        QImage big(64, 64, QImage::Format_ARGB32_Premultiplied);
        big.fill(Qt::transparent);
        QPainter p(&big);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(4, 4);
        kIcons[i](p);
        p.end();
        QPainter s(&strip);
        s.drawImage(16 * i, 0, big.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    return strip;
}

QImage banner()
{
    QImage img(674, 85, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 674, 85);
    sky.setColorAt(0, kDarkBlue);
    sky.setColorAt(0.6, kBlue);
    sky.setColorAt(1, QColor(0x5d, 0xa9, 0xe9));
    p.fillRect(img.rect(), sky);
    // Soft circuit lines on the right.
    p.setPen(QPen(QColor(255, 255, 255, 40), 1.5));
    for (int i = 0; i < 7; ++i) {
        const int y = 10 + i * 11;
        p.drawLine(400 + i * 12, y, 560 + i * 6, y);
        p.drawLine(560 + i * 6, y, 580 + i * 6, y + 8);
        p.drawLine(580 + i * 6, y + 8, 674, y + 8);
        p.setBrush(QColor(255, 255, 255, 60));
        p.drawEllipse(QPointF(400 + i * 12, y), 2.5, 2.5);
    }
    // A large token.
    p.save();
    p.translate(560, 22);
    p.rotate(-12);
    drawToken(p, QRectF(0, 0, 70, 36), QColor(0x22, 0x22, 0x2a));
    p.restore();
    // The name and the subtitle are drawn by the window in the user's language.
    return img;
}

QImage aboutPicture()
{
    QImage img(240, 120, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // A stylised "V" mark and the maker's name.
    QPainterPath mark;
    mark.moveTo(20, 25);
    mark.lineTo(45, 25);
    mark.lineTo(60, 70);
    mark.lineTo(75, 25);
    mark.lineTo(100, 25);
    mark.lineTo(72, 95);
    mark.lineTo(48, 95);
    mark.closeSubpath();
    QLinearGradient g(20, 25, 100, 95);
    g.setColorAt(0, kBlue.lighter(130));
    g.setColorAt(1, kDarkBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(mark);
    p.setBrush(kGold);
    p.drawEllipse(QPointF(60, 45), 7, 7);
    QFont f(QStringLiteral("Noto Sans CJK SC"));
    f.setPixelSize(22);
    f.setBold(true);
    p.setFont(f);
    p.setPen(kDarkBlue);
    p.drawText(QPointF(112, 58), QStringLiteral("Vostrel"));
    f.setPixelSize(13);
    f.setBold(false);
    p.setFont(f);
    p.setPen(kGrey);
    p.drawText(QPointF(114, 80), QStringLiteral("zKeyra QX4100"));
    return img;
}

// The tool's icon at `size` pixels: a token with a padlock on a blue rounded square, drawn on a
// 256-unit canvas so every size comes from the same drawing.
QImage appIcon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    QLinearGradient back(0, 16, 0, 240);
    back.setColorAt(0, kBlue.lighter(125));
    back.setColorAt(1, kDarkBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawRoundedRect(QRectF(16, 16, 224, 224), 44, 44);
    p.save();
    p.translate(128, 128);
    p.rotate(-35);
    drawToken(p, QRectF(-92, -34, 150, 68), kGold);
    p.restore();
    // The padlock of the tree strip, scaled up into the lower right corner.
    p.save();
    p.translate(132, 124);
    p.scale(7.0, 7.0);
    drawPadlock(p, false, kGreen);
    p.restore();
    return img;
}

// Two open hands seen from the back, fingertips up, sized for the fingerprint page (392 x 253). The
// fingertips sit under the ten finger buttons: x = 14, 49, 82, 116, 155 (left little finger to left
// thumb) and 220, 256, 292, 326, 360 (right thumb to right little finger), all near y = 33.
QImage handsPicture()
{
    QImage img(392, 253, QImage::Format_ARGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor skin(0xf3, 0xd2, 0xb3);
    const QColor edge(0xb0, 0x80, 0x60);
    p.setPen(QPen(edge, 2));
    p.setBrush(skin);
    const int tips[10] = {14, 49, 82, 116, 155, 220, 256, 292, 326, 360};
    const int bases[10] = {40, 62, 86, 110, 150, 242, 282, 306, 330, 352};
    const int lengths[10] = {95, 120, 130, 120, 110, 110, 120, 130, 120, 95};
    for (int hand = 0; hand < 2; ++hand) {
        QPainterPath shape;
        shape.setFillRule(Qt::WindingFill);
        for (int k = 0; k < 5; ++k) {
            const int i = hand * 5 + k;
            QPainterPath finger;
            finger.addRoundedRect(QRectF(-14, 0, 28, 26 + lengths[i]), 14, 14);
            QTransform t;
            const QPointF tip(tips[i], 20);
            const QPointF base(bases[i], 20 + 26 + lengths[i] + 40);
            t.translate(tip.x(), tip.y());
            t.rotate(qRadiansToDegrees(std::atan2(-(base.x() - tip.x()), base.y() - tip.y())));
            shape.addPath(t.map(finger));
        }
        QPainterPath palm;
        palm.addRoundedRect(QRectF(hand == 0 ? 8 : 214, 140, 170, 110), 40, 40);
        shape.addPath(palm);
        p.drawPath(shape.simplified());
    }
    // Nails, so that the fingertips read as tips.
    p.setPen(QPen(edge.lighter(120), 1));
    p.setBrush(QColor(0xfb, 0xe8, 0xdc));
    for (int i = 0; i < 10; ++i)
        p.drawRoundedRect(QRectF(tips[i] - 8, 26, 16, 16), 6, 6);
    return img;
}

// The page's two finger marks, 32 x 32 side by side: an enrolled finger (a blue fingerprint in a ring)
// and the finger just matched (a green tick over it).
QImage fingerMarks()
{
    QImage img(64, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int k = 0; k < 2; ++k) {
        const QColor colour = k == 0 ? kBlue : kGreen;
        p.save();
        p.translate(32 * k, 0);
        p.setPen(QPen(colour, 2));
        p.setBrush(QColor(255, 255, 255, 220));
        p.drawEllipse(QRectF(2, 2, 28, 28));
        p.translate(4, 4);
        p.scale(1.5, 1.5);
        drawFingerprint(p, colour);
        p.restore();
        if (k == 1) {
            p.setPen(QPen(kGreen.darker(130), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(QPolygonF({QPointF(40, 17), QPointF(46, 24), QPointF(58, 8)}));
        }
    }
    return img;
}

// A large fingerprint, 108 x 111, for the dialogs; `lit` of 0..1 lights the ridges from the centre.
QImage fingerprintPicture(qreal lit, const QColor& colour)
{
    QImage img(108, 111, QImage::Format_ARGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(54, 58);
    for (int i = 0; i < 11; ++i) {
        const qreal r = 4 + i * 4.2;
        const bool on = i <= lit * 11;
        p.setPen(QPen(on ? colour : QColor(0xc8, 0xcc, 0xd0), 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(-r * 0.85, -r, 1.7 * r, 2 * r), (-20 + i * 4) * 16, (220 - i * 6) * 16);
    }
    return img;
}

// The success and failure pictures: the fingerprint with a green tick or a red cross.
QImage outcomePicture(bool success)
{
    QImage img = fingerprintPicture(1, success ? kGreen : kRed);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(success ? kGreen : kRed);
    p.drawEllipse(QRectF(66, 70, 38, 38));
    p.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (success) {
        p.drawPolyline(QPolygonF({QPointF(75, 89), QPointF(82, 97), QPointF(95, 80)}));
    } else {
        p.drawLine(QPointF(77, 81), QPointF(93, 97));
        p.drawLine(QPointF(93, 81), QPointF(77, 97));
    }
    return img;
}

bool save(const QImage& img, const QString& path, const char* format, int quality = -1)
{
    if (!img.save(path, format, quality)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("res");
    QDir().mkpath(out);
    const QImage strip = treeStrip();
    const bool ok = save(strip, out + QStringLiteral("/tree_images.png"), "PNG") &&
                    save(banner(), out + QStringLiteral("/top_img.jpg"), "JPG", 92) &&
                    save(aboutPicture(), out + QStringLiteral("/GS.jpg"), "JPG", 92) &&
                    save(handsPicture(), out + QStringLiteral("/finger_hands.png"), "PNG") &&
                    save(fingerMarks(), out + QStringLiteral("/finger_marks.png"), "PNG") &&
                    save(outcomePicture(true), out + QStringLiteral("/finger_ok.png"), "PNG") &&
                    save(outcomePicture(false), out + QStringLiteral("/finger_error.png"), "PNG");
    // The frames of the animated fingerprint; the script joins them into a GIF.
    bool frames = ok;
    for (int i = 0; frames && i < 12; ++i)
        frames = save(fingerprintPicture(i / 11.0, kBlue),
                      out + QStringLiteral("/finger_frame%1.png").arg(i, 2, 10, QLatin1Char('0')), "PNG");
    if (!frames || argc < 3)
        return frames ? 0 : 1;
    // The icon theme's sizes, one folder each: <dir>/<n>x<n>/com.vostrel.qx4100mgr.png
    const QString icons = QString::fromLocal8Bit(argv[2]);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = icons + QStringLiteral("/%1x%1").arg(size);
        QDir().mkpath(dir);
        if (!save(appIcon(size), dir + QStringLiteral("/com.vostrel.qx4100mgr.png"), "PNG"))
            return 1;
    }
    return 0;
}
