#include "resources/Artwork.h"
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRadialGradient>

namespace Artwork {
namespace {

QPixmap Transparent(int w, int h)
{
    QPixmap pm(w, h);
    pm.fill(Qt::transparent);
    return pm;
}

// A calibration target: a ring with a cross through it.
void Target(QPainter& p, QPointF c, qreal r, const QColor& colour)
{
    p.setPen(QPen(colour, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r, r);
    p.drawLine(QPointF(c.x() - r - 3, c.y()), QPointF(c.x() + r + 3, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - r - 3), QPointF(c.x(), c.y() + r + 3));
}

// Rings spreading from a touch.
void Ripple(QPainter& p, QPointF c, qreal r0, qreal step, int rings)
{
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < rings; ++i) {
        QColor ring(255, 255, 255, 230 - i * 60);
        p.setPen(QPen(ring, 1.3));
        p.drawEllipse(c, r0 + i * step, r0 + i * step);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawEllipse(c, r0 * 0.6, r0 * 0.6);
}

}  // namespace

QPixmap AppIcon(int size)
{
    QPixmap pm = Transparent(size, size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // Stand.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x5b, 0x66, 0x72));
    p.drawPolygon(QPolygonF({QPointF(26, 50), QPointF(38, 50), QPointF(44, 60), QPointF(20, 60)}));
    // Bezel.
    p.setPen(QPen(QColor(0x11, 0x16, 0x1c), 1.5));
    p.setBrush(QColor(0x2b, 0x34, 0x40));
    p.drawRoundedRect(QRectF(3, 6, 58, 46), 6, 6);
    // Screen.
    QLinearGradient screen(0, 11, 0, 45);
    screen.setColorAt(0, QColor(0x4a, 0xa3, 0xe8));
    screen.setColorAt(1, QColor(0x17, 0x4a, 0x86));
    p.setPen(Qt::NoPen);
    p.setBrush(screen);
    p.drawRect(QRectF(8, 11, 48, 34));
    p.setPen(QPen(QColor(255, 255, 255, 45), 0.8));
    for (int x = 16; x < 56; x += 8)
        p.drawLine(QPointF(x, 11), QPointF(x, 45));
    for (int y = 19; y < 45; y += 8)
        p.drawLine(QPointF(8, y), QPointF(56, y));
    // A touch.
    Ripple(p, QPointF(38, 27), 3.5, 4.5, 3);
    // Power lamp.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 230, 0));
    p.drawEllipse(QPointF(32, 48.5), 1.6, 1.6);
    return pm;
}

QPixmap Bulb(QRgb glass)
{
    const QColor g = QColor::fromRgb(glass);
    QPixmap pm = Transparent(32, 32);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    // Screw base with its threads and contact.
    QLinearGradient metal(11, 0, 21, 0);
    metal.setColorAt(0, QColor(0x70, 0x70, 0x70));
    metal.setColorAt(0.4, QColor(0xd8, 0xd8, 0xd8));
    metal.setColorAt(1, QColor(0x60, 0x60, 0x60));
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 0.8));
    p.setBrush(metal);
    p.drawRoundedRect(QRectF(11, 23, 10, 6.5), 1.5, 1.5);
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 0.9));
    for (qreal y : {25.0, 27.2})
        p.drawLine(QPointF(11.5, y), QPointF(20.5, y + 0.8));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0x30, 0x30));
    p.drawRoundedRect(QRectF(13.5, 29.2, 5, 2.4), 1, 1);

    // Glass: a round globe narrowing into a neck above the base.
    QPainterPath globe;
    globe.addEllipse(QPointF(16, 12.5), 11, 11);
    QPainterPath neck;
    neck.moveTo(10.5, 19);
    neck.lineTo(21.5, 19);
    neck.lineTo(20.5, 23.5);
    neck.lineTo(11.5, 23.5);
    neck.closeSubpath();
    const QPainterPath body = globe.united(neck);
    p.setPen(QPen(g.darker(190), 1.1));
    p.setBrush(g);
    p.drawPath(body);

    // Filament below the centre, so the glass colour stays pure around it.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(g.darker(230), 0.9));
    p.drawLine(QPointF(13.5, 23), QPointF(13.5, 18.5));
    p.drawLine(QPointF(18.5, 23), QPointF(18.5, 18.5));
    p.drawPolyline(QPolygonF({QPointF(13.5, 18.5), QPointF(14.5, 17), QPointF(15.5, 18.5), QPointF(16.5, 17),
                              QPointF(17.5, 18.5), QPointF(18.5, 17)}));
    // Reflection at the upper left.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 190));
    p.drawEllipse(QRectF(8.5, 5, 5, 4));
    p.setBrush(QColor(255, 255, 255, 120));
    p.drawEllipse(QRectF(7.6, 9.5, 2, 3));
    return pm;
}

QPixmap Hand()
{
    QPixmap pm = Transparent(32, 32);
    QPainter p(&pm);
    // Two colours and crisp edges, like a classic cursor.
    p.setRenderHint(QPainter::Antialiasing, false);
    const QPolygon outline({
        {4, 0}, {6, 0}, {7, 1}, {7, 8},                // index finger, right side
        {8, 7}, {10, 7}, {11, 8}, {11, 9},             // middle finger
        {12, 8}, {14, 8}, {15, 9}, {15, 10},           // ring finger
        {16, 9}, {18, 9}, {19, 10}, {19, 19},          // little finger, edge of the hand
        {18, 22}, {17, 24}, {16, 25}, {16, 29},        // heel and wrist
        {7, 29}, {7, 25}, {5, 23}, {1, 17},            // wrist to thumb
        {0, 15}, {0, 13}, {1, 12}, {2, 12}, {3, 13},   // thumb
        {3, 1},                                        // index finger, left side
    });
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPolygon(outline);
    // Gaps between the fingers.
    p.drawLine(7, 9, 7, 13);
    p.drawLine(11, 10, 11, 13);
    p.drawLine(15, 11, 15, 13);
    // Cuff.
    p.drawLine(7, 26, 16, 26);
    return pm;
}

QPixmap Panel()
{
    const int W = 190, H = 260;
    QPixmap pm(W, H);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    // Night-blue wall over a grey bench.
    QLinearGradient wall(0, 0, 0, H);
    wall.setColorAt(0, QColor(0x22, 0x33, 0x46));
    wall.setColorAt(1, QColor(0x0d, 0x13, 0x1a));
    p.fillRect(0, 0, W, H, wall);
    QLinearGradient bench(0, 205, 0, H);
    bench.setColorAt(0, QColor(0x4a, 0x55, 0x60));
    bench.setColorAt(1, QColor(0x2a, 0x31, 0x38));
    p.fillRect(0, 205, W, H - 205, bench);
    p.setPen(QPen(QColor(0x7d, 0x8a, 0x96), 1));
    p.drawLine(0, 205, W, 205);

    // Name plate.
    QFont title(QStringLiteral("Sans Serif"));
    title.setPixelSize(19);
    title.setBold(true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(title);
    p.setPen(QColor(0xe8, 0xf1, 0xfa));
    p.drawText(QRect(0, 6, W, 26), Qt::AlignCenter, QStringLiteral("MORVAX"));
    p.setPen(QPen(QColor(0x3f, 0xb6, 0xff), 2));
    p.drawLine(58, 33, 132, 33);

    // The touch panel under test.
    p.setPen(QPen(QColor(0x0a, 0x0e, 0x12), 1.5));
    p.setBrush(QColor(0x2a, 0x32, 0x3c));
    p.drawRoundedRect(QRectF(22, 42, 146, 104), 8, 8);
    QLinearGradient screen(0, 50, 0, 138);
    screen.setColorAt(0, QColor(0x46, 0x9e, 0xe4));
    screen.setColorAt(1, QColor(0x14, 0x42, 0x7c));
    p.setPen(Qt::NoPen);
    p.setBrush(screen);
    const QRectF scr(30, 50, 130, 88);
    p.drawRect(scr);
    p.setPen(QPen(QColor(255, 255, 255, 35), 0.8));
    for (qreal x = scr.left() + 13; x < scr.right(); x += 13)
        p.drawLine(QPointF(x, scr.top()), QPointF(x, scr.bottom()));
    for (qreal y = scr.top() + 11; y < scr.bottom(); y += 11)
        p.drawLine(QPointF(scr.left(), y), QPointF(scr.right(), y));
    // Calibration targets in the corners.
    const QColor red(0xff, 0x5a, 0x4a);
    for (QPointF c : {QPointF(scr.left() + 13, scr.top() + 12), QPointF(scr.right() - 13, scr.top() + 12),
                      QPointF(scr.left() + 13, scr.bottom() - 12), QPointF(scr.right() - 13, scr.bottom() - 12)})
        Target(p, c, 4.5, red);
    // A finger's stroke across the panel, ending in a touch.
    QPainterPath stroke;
    stroke.moveTo(52, 118);
    stroke.cubicTo(70, 70, 100, 120, 118, 82);
    p.setPen(QPen(QColor(255, 255, 255, 150), 2, Qt::DashLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(stroke);
    Ripple(p, QPointF(118, 82), 4, 5, 3);
    // Power lamp on the bezel.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 255, 0));
    p.drawEllipse(QPointF(95, 142), 1.8, 1.8);

    // Flex cable down to the controller board.
    QLinearGradient flex(84, 0, 106, 0);
    flex.setColorAt(0, QColor(0xb8, 0x6e, 0x1c));
    flex.setColorAt(0.5, QColor(0xe6, 0x9d, 0x3c));
    flex.setColorAt(1, QColor(0xb8, 0x6e, 0x1c));
    p.setBrush(flex);
    p.drawPolygon(QPolygonF({QPointF(86, 146), QPointF(104, 146), QPointF(108, 176), QPointF(82, 176)}));
    p.setPen(QPen(QColor(0x8a, 0x50, 0x10), 0.7));
    for (qreal t : {0.25, 0.5, 0.75}) {
        const qreal top = 86 + 18 * t, bottom = 82 + 26 * t;
        p.drawLine(QPointF(top, 146), QPointF(bottom, 176));
    }

    // Controller board with its chip, parts and USB socket.
    p.setPen(QPen(QColor(0x0c, 0x3a, 0x1c), 1.5));
    p.setBrush(QColor(0x1f, 0x74, 0x3c));
    p.drawRoundedRect(QRectF(34, 174, 116, 50), 3, 3);
    p.setPen(QPen(QColor(0xc9, 0xa4, 0x3a, 170), 0.8));  // traces
    p.drawPolyline(QPolygonF({QPointF(44, 214), QPointF(70, 214), QPointF(80, 204)}));
    p.drawPolyline(QPolygonF({QPointF(112, 190), QPointF(126, 190), QPointF(134, 198), QPointF(140, 198)}));
    p.drawPolyline(QPolygonF({QPointF(112, 206), QPointF(130, 206), QPointF(140, 202)}));
    p.setPen(QPen(QColor(0xb0, 0xb0, 0xb0), 1));  // pins
    for (int i = 0; i < 6; ++i) {
        const int x = 84 + i * 4;
        p.drawLine(x, 181, x, 184);
        p.drawLine(x, 211, x, 214);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x15, 0x15, 0x18));
    p.drawRect(QRectF(80, 184, 28, 27));
    QFont chip(QStringLiteral("Sans Serif"));
    chip.setPixelSize(8);
    chip.setBold(true);
    p.setFont(chip);
    p.setPen(QColor(0x9a, 0xa0, 0xa6));
    p.drawText(QRectF(80, 184, 28, 27), Qt::AlignCenter, QStringLiteral("MVX"));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd8, 0xc8, 0xa0));  // small parts
    for (QRectF r : {QRectF(46, 190, 8, 4), QRectF(46, 198, 8, 4), QRectF(60, 190, 4, 8), QRectF(118, 212, 8, 4)})
        p.drawRect(r);
    p.setBrush(QColor(0, 255, 0));  // status lamps
    p.drawEllipse(QPointF(46, 182), 2.2, 2.2);
    p.setBrush(QColor(250, 0, 0));
    p.drawEllipse(QPointF(54, 182), 2.2, 2.2);
    QLinearGradient usb(0, 193, 0, 207);
    usb.setColorAt(0, QColor(0xe0, 0xe0, 0xe0));
    usb.setColorAt(1, QColor(0x80, 0x80, 0x80));
    p.setBrush(usb);
    p.drawRect(QRectF(140, 193, 16, 14));
    // USB lead off to the bench's edge.
    QPainterPath lead;
    lead.moveTo(156, 200);
    lead.cubicTo(176, 200, 168, 238, 190, 246);
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(lead);
    p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.2));
    p.drawPath(lead);
    return pm;
}

}  // namespace Artwork
