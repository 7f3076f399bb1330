#include "controls/LedCtrl.h"
#include <QPainter>
#include <QTimerEvent>
#include <qdrawutil.h>

namespace {

const QColor RIM_DARK(128, 128, 128);
const QColor RIM_LIGHT(192, 192, 192);
const int FRAME_WIDTH = 2;  // the etched frame around the lamp

}  // namespace

CLedCtrl::CLedCtrl(QWidget* parent) : QWidget(parent) {}

CLedCtrl::~CLedCtrl() = default;

QColor CLedCtrl::BrightColor(int nColor)
{
    switch (nColor) {
    case LED_RED: return QColor(250, 0, 0);
    case LED_GREY: return QColor(130, 130, 130);
    case LED_BLUE: return QColor(0, 0, 250);
    case LED_GREEN: return QColor(0, 255, 0);
    case LED_YELLOW: return QColor(200, 200, 0);
    default: return QColor();
    }
}

QColor CLedCtrl::DarkColor(int nColor)
{
    switch (nColor) {
    case LED_RED: return QColor(150, 0, 0);
    case LED_GREY: return QColor(80, 80, 80);
    case LED_BLUE: return QColor(0, 0, 150);
    case LED_GREEN: return QColor(150, 150, 0);  // olive, as the yellow's dark variant
    case LED_YELLOW: return QColor(150, 150, 0);
    default: return QColor();
    }
}

bool CLedCtrl::SetLed(QWidget* /*window: the light itself*/, int nColor, int nShape, int nPeriod)
{
    m_nColor = nColor;
    m_nPeriod = nPeriod;
    m_nShape = nShape;
    // One timer 1001 at a time: the period follows the last call. A Qt timer
    // of period 0 would fire whenever the event loop is idle, so period 0
    // runs none.
    if (m_timer) {
        killTimer(m_timer);
        m_timer = 0;
    }
    if (nPeriod > 0)
        m_timer = startTimer(nPeriod);
    UpdateAccessibleName();
    return true;
}

void CLedCtrl::SetLabel(const QString& label)
{
    m_label = label;
    UpdateAccessibleName();
}

QString CLedCtrl::StateWords() const
{
    const char* colour = nullptr;
    switch (m_nColor) {
    case LED_RED: colour = "red"; break;
    case LED_GREY: colour = "grey"; break;
    case LED_BLUE: colour = "blue"; break;
    case LED_GREEN: colour = "green"; break;
    case LED_YELLOW: colour = "yellow"; break;
    default: break;
    }
    if (!colour || (m_nShape != LED_CIRCLE && m_nShape != LED_SQUARE))
        return QStringLiteral("no lamp");
    // Yellow flips on every paint: with a period it blinks.
    if (m_nColor == LED_YELLOW && m_nPeriod > 0)
        return QStringLiteral("blinking yellow");
    return QString::fromLatin1(m_bLit == 1 ? "bright " : "dark ") + QLatin1String(colour);
}

void CLedCtrl::UpdateAccessibleName()
{
    const QString name = m_label.isEmpty() ? StateWords() : m_label + QStringLiteral(": ") + StateWords();
    if (name != accessibleName())
        setAccessibleName(name);
}

QRect CLedCtrl::lampRect() const
{
    return rect().adjusted(FRAME_WIDTH, FRAME_WIDTH, -FRAME_WIDTH, -FRAME_WIDTH);
}

void CLedCtrl::timerEvent(QTimerEvent* e)
{
    if (m_nPeriod == 0)
        return;
    repaint();  // at once, so a blinking lamp keeps its rhythm
    UpdateAccessibleName();
    QWidget::timerEvent(e);
}

void CLedCtrl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    qDrawShadeRect(&p, rect(), palette(), true, 1, 0);  // etched

    const QColor bright = BrightColor(m_nColor);
    if (!bright.isValid())
        return;
    const QColor dark = DarkColor(m_nColor);
    QColor body;
    if (m_nColor == LED_YELLOW) {
        // Each paint shows the other variant: a yellow lamp blinks.
        body = m_bLit == 1 ? bright : dark;
        m_bLit = m_bLit == 1 ? 0 : 1;
    } else {
        body = m_bLit == 1 ? bright : dark;
    }
    UpdateAccessibleName();

    const QRect lamp = lampRect();
    if (lamp.width() <= 0 || lamp.height() <= 0)
        return;
    // Exact colours: no antialiasing anywhere on the lamp.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setClipRect(lamp);
    p.translate(lamp.topLeft());
    const int w = lamp.width(), h = lamp.height();

    if (m_nShape == LED_CIRCLE) {
        const QRect oval(0, 0, w - 1, h - 1);
        p.setBrush(body);
        p.setPen(QPen(body, 1));
        p.drawEllipse(oval);                // body
        // Dark rim 2 wide, inside the lamp (a pen centred on the outline
        // would lose its outer half to the clip); the body brush refills
        // the inside.
        p.setPen(QPen(RIM_DARK, 1));
        p.drawEllipse(oval);
        p.drawEllipse(oval.adjusted(1, 1, -1, -1));
        // Light rim over the outer half of the dark one, which stays
        // visible inside it: the bevel.
        p.setPen(QPen(RIM_LIGHT, 1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(oval);
        // Highlight along the lower right: counter-clockwise from the bottom
        // middle (-90 degrees) to the top-right corner's radial (45 degrees
        // in the ellipse's own angle).
        p.setPen(QPen(Qt::white, 1));
        p.drawArc(oval, -90 * 16, 135 * 16);
        // Glint: 2 by 2 at (4, 4), whatever the lamp's size.
        p.fillRect(QRect(4, 4, 2, 2), Qt::white);
    } else if (m_nShape == LED_SQUARE) {
        p.fillRect(QRect(0, 0, w, h), body);
        const int r = w - 1, b = h - 1;
        p.setPen(QPen(RIM_DARK, 1));
        p.drawLine(0, b, 0, 0);             // left and top edges
        p.drawLine(0, 0, r, 0);
        p.setPen(QPen(RIM_LIGHT, 1));
        p.drawLine(r, 0, r, b);             // right and bottom edges
        p.drawLine(r, b, 0, b);
    }
}
