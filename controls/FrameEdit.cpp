#include "controls/FrameEdit.h"
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

CFrameEdit::CFrameEdit(QWidget* parent) : QLineEdit(parent) {}

void CFrameEdit::SetFrameColor(QColor clr)
{
    m_clrFrame = clr;
    update();
}

QRect CFrameEdit::frameRect() const
{
    QStyleOptionFrame opt;
    initStyleOption(&opt);
    const QRect text = style()->subElementRect(QStyle::SE_LineEditContents, &opt, this);
    return text.adjusted(-1, -1, 1, 1).intersected(rect());
}

void CFrameEdit::paintEvent(QPaintEvent* e)
{
    QLineEdit::paintEvent(e);
    if (!m_clrFrame.isValid())
        return;
    // A frame, not a fill: the text and the edit's own colours stay.
    QPainter p(this);
    const QRect r = frameRect();
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), m_clrFrame);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), m_clrFrame);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), m_clrFrame);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), m_clrFrame);
}
