#include "controls/ModeSwatch.h"
#include <QPainter>

ModeSwatch::ModeSwatch(QWidget* parent) : QFrame(parent)
{
    // A sunken edge with a black frame inside it.
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
}

void ModeSwatch::draw(const QString& text, QColor background, QColor textColor)
{
    m_text = text;
    m_background = background;
    m_textColor = textColor;
    m_drawn = true;
    updateAccessibleName();
    update();
}

void ModeSwatch::setLabel(const QString& label)
{
    m_label = label;
    updateAccessibleName();
}

void ModeSwatch::updateAccessibleName()
{
    const bool shows = m_drawn && m_textColor != m_background;
    setAccessibleName(m_label + (shows ? QStringLiteral(": marked") : QStringLiteral(": not marked")));
}

QRect ModeSwatch::insideRect() const
{
    return contentsRect().adjusted(1, 1, -1, -1);
}

void ModeSwatch::paintEvent(QPaintEvent* e)
{
    QFrame::paintEvent(e);
    QPainter p(this);
    p.setPen(Qt::black);
    p.setBrush(Qt::NoBrush);
    p.drawRect(contentsRect().adjusted(0, 0, -1, -1));
    if (!m_drawn)
        return;

    const QRect inside = insideRect();
    const QFontMetrics fm(font());
    const int textWidth = fm.horizontalAdvance(m_text);
    // Centred like a single line drawn with centring: the cell may be wider
    // than the frame; the clip keeps it inside.
    const QRect cell(inside.left() + (inside.width() - textWidth) / 2, inside.top(), textWidth, fm.height());
    p.setClipRect(inside);
    p.fillRect(cell, m_background);
    p.setPen(m_textColor.isValid() ? m_textColor : QColor(Qt::black));
    p.drawText(cell, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_text);
}
