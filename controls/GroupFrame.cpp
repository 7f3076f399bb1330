#include "controls/GroupFrame.h"
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
    const QFontMetrics fm(font());
    return QRect(TITLE_LEFT, 0, fm.size(Qt::TextShowMnemonic, title()).width() + 2 * TITLE_PADDING, fm.height());
}

void GroupFrame::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect caption = titleRect();
    const int top = caption.height() / 2;
    p.save();
    p.setClipRegion(QRegion(rect()).subtracted(caption));
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(QRect(0, top, width() - 1, height() - 1 - top));
    p.restore();
    style()->drawItemText(&p, caption, Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic, palette(), isEnabled(),
                          title(), QPalette::WindowText);
}
