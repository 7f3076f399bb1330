#include "controls/GroupFrame.h"
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>

namespace {
constexpr int TITLE_LEFT = 6;     // the caption's box from the left edge
constexpr int TITLE_PADDING = 4;  // room on each side of the caption's text
}  // namespace

GroupFrame::GroupFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QRect GroupFrame::titleRect() const
{
    if (m_titleRect.isNull() || m_measuredTitle != title() || m_measuredFont != font()) {
        const QFontMetrics fm(font());
        m_titleRect = QRect(TITLE_LEFT, 0, fm.size(Qt::TextShowMnemonic, title()).width() + 2 * TITLE_PADDING,
                            fm.height());
        m_measuredTitle = title();
        m_measuredFont = font();
    }
    return m_titleRect;
}

void GroupFrame::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    const QRect caption = titleRect();
    const int top = caption.height() / 2;
    const int right = width() - 1, bottom = height() - 1;
    // The frame's top line stops short of the caption and goes on after it.
    p.setPen(palette().color(QPalette::Mid));
    const QLine lines[] = {
        {0, top, caption.left() - 1, top}, {caption.right() + 1, top, right, top},
        {0, top + 1, 0, bottom}, {right, top + 1, right, bottom}, {1, bottom, right - 1, bottom},
    };
    for (const QLine& line : lines)
        if (line.x1() <= line.x2() && line.y1() <= line.y2())
            p.drawLine(line);
    if (!e->rect().intersects(caption))
        return;
    style()->drawItemText(&p, caption, Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic, palette(), isEnabled(),
                          title(), QPalette::WindowText);
}
