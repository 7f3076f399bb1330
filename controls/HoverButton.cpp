#include "controls/HoverButton.h"
#include "resources/Resources.h"
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {

// A rectangle's top and left edges in one colour and its bottom and right
// edges in another, one pixel wide; the bottom-right colour takes the two
// corners the edges share.
void Draw3dRect(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight)
{
    const int x = r.x(), y = r.y(), cx = r.width(), cy = r.height();
    p.fillRect(x, y, cx - 1, 1, topLeft);
    p.fillRect(x, y, 1, cy - 1, topLeft);
    p.fillRect(x + cx - 1, y, 1, cy, bottomRight);
    p.fillRect(x, y + cy - 1, cx, 1, bottomRight);
}

}  // namespace

CHoverButton::CHoverButton(const QString& caption, QWidget* parent) : QAbstractButton(parent)
{
    setText(caption);
    m_clrHover = palette().color(QPalette::Highlight);
    m_clrNormal = palette().color(QPalette::WindowText);
    m_clrCurrent = m_clrNormal;
}

CHoverButton::~CHoverButton() = default;

void CHoverButton::SetIcon(const QIcon& normal, const QIcon& hover)
{
    m_iconNormal = normal;
    m_iconHover = hover;
    m_bHasIcon = true;
    const QString words = IconWords(normal);
    setAccessibleName(words.isEmpty() ? QString() : text() + QStringLiteral(": ") + words);
}

void CHoverButton::SetIconAlign(int align)
{
    m_nIconAlign = (align == 1) ? 1 : 0;
    Redraw();
}

void CHoverButton::SetIconTop(int top)
{
    m_nIconTop = top;
    Redraw();
}

void CHoverButton::SetHoverColor(QColor c)
{
    m_clrHover = c;
    Redraw();
}

void CHoverButton::SetNormalColor(QColor c)
{
    m_clrNormal = c;
    Redraw();
}

void CHoverButton::SetTransparent(bool b)
{
    m_bTransparent = b;
}

void CHoverButton::SetFlat(bool b)
{
    m_bFlat = b;
}

bool CHoverButton::SetBtnCursor(int id)
{
    m_cursor.reset();
    unsetCursor();
    if (id == -1)
        return true;
    m_cursor = ToolCursor(id);
    if (!m_cursor)
        return false;
    setCursor(*m_cursor);
    return true;
}

void CHoverButton::Redraw()
{
    update();
}

QPoint CHoverButton::iconPos() const
{
    const int w = width(), h = height();
    QPoint pos;
    if (text().isEmpty())
        pos = QPoint((w - ICON_SIZE) / 2, (h - ICON_SIZE) / 2);
    else if (m_nIconAlign == 1)
        pos = QPoint((w - ICON_SIZE) / 2, m_nIconTop);
    else
        pos = QPoint(m_nIconLeft, (h - ICON_SIZE) / 2);
    if (Pressed())
        pos += QPoint(1, 1);
    return pos;
}

QPoint CHoverButton::captionPos() const
{
    const QFontMetrics fm = fontMetrics();
    const int w = width(), h = height();
    const int cx = fm.horizontalAdvance(text()), cy = fm.height();
    QPoint pos;
    if (m_bHasIcon && m_nIconAlign == 0)
        pos = QPoint(m_nIconLeft + ICON_SIZE + (w - m_nIconLeft - cx - ICON_SIZE) / 2, (h - cy) / 2);
    else if (m_bHasIcon)
        pos = QPoint((w - cx) / 2, m_nIconTop + ICON_SIZE + (h - m_nIconTop - cy - ICON_SIZE) / 2);
    else
        pos = QPoint((w - cx) / 2, (h - cy) / 2);
    if (Pressed())
        pos += QPoint(1, 1);
    return pos;
}

void CHoverButton::paintEvent(QPaintEvent*)
{
    // A disabled button always shows the normal look.
    m_bEnabled = isEnabled();
    if (!m_bEnabled)
        m_nState = STATE_NORMAL;
    m_bFocused = hasFocus();

    QPainter p(this);
    DrawBackground(p);
    DrawFrame(p);
    DrawIcon(p);
    DrawCaption(p);
}

void CHoverButton::DrawBackground(QPainter& p)
{
    if (!m_bTransparent) {
        p.fillRect(rect(), palette().color(QPalette::Button));
        return;
    }
    // The copy is taken once, before the button has painted anything over
    // it; a button that changed size takes a fresh one, so that no part of
    // it is left unpainted.
    if (!m_bBkCaptured || m_dcBk.size() != size()) {
        m_dcBk = QPixmap(size());
        QPainter bk(&m_dcBk);
        const QWidget* under = parentWidget() ? parentWidget() : this;
        bk.setBrushOrigin(-pos());
        bk.fillRect(m_dcBk.rect(), under->palette().brush(under->backgroundRole()));
        m_bBkCaptured = true;
    }
    p.drawPixmap(0, 0, m_dcBk);
}

void CHoverButton::DrawFrame(QPainter& p)
{
    const QColor highlight = palette().color(QPalette::Light);
    const QColor shadow = palette().color(QPalette::Dark);
    const QColor black(0, 0, 0);
    QRect r = rect();
    if (m_bFlat) {
        if (!m_bEnabled)
            return;
        if (m_nState == STATE_HOVER || m_nState == STATE_RELEASED)
            Draw3dRect(p, r, highlight, shadow);
        else if (m_nState == STATE_PRESSED)
            Draw3dRect(p, r, shadow, highlight);
        return;
    }
    // The 3-D frame, raised or sunken, whether enabled or not.
    if (m_nState == STATE_PRESSED) {
        Draw3dRect(p, r, black, highlight);
        Draw3dRect(p, r.adjusted(1, 1, -1, -1), shadow, highlight);
    } else {
        Draw3dRect(p, r, highlight, black);
        Draw3dRect(p, r.adjusted(1, 1, -1, -1), highlight, shadow);
    }
    if (m_bFocused) {
        // A black border, a second shadow line inside the right and bottom
        // edges, and the dotted focus rectangle 4 pixels in.
        p.setPen(QPen(black, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        const int x = r.width() - 2, y = r.height() - 2;
        p.drawLine(x, 0, x, y - 1);
        p.drawLine(x, y, 1, y);
        QStyleOptionFocusRect opt;
        opt.initFrom(this);
        opt.rect = r.adjusted(4, 4, -4, -4);
        opt.backgroundColor = palette().color(QPalette::Button);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
    }
}

void CHoverButton::DrawIcon(QPainter& p)
{
    const QIcon& icon = (!m_bEnabled || m_nState == STATE_NORMAL) ? m_iconNormal : m_iconHover;
    if (icon.isNull())
        return;
    const QIcon::Mode mode = m_bEnabled ? QIcon::Normal : QIcon::Disabled;
    const QPixmap pm = icon.pixmap(QSize(ICON_SIZE, ICON_SIZE), devicePixelRatioF(), mode);
    p.drawPixmap(QRect(iconPos(), QSize(ICON_SIZE, ICON_SIZE)), pm);
}

void CHoverButton::DrawCaption(QPainter& p)
{
    const QString caption = text();
    if (caption.isEmpty())
        return;
    const QPoint pos = captionPos();
    const QPoint baseline = pos + QPoint(0, fontMetrics().ascent());
    p.setFont(font());
    if (!m_bEnabled) {
        // Embossed: a light copy one pixel down and right under a dark one.
        p.setPen(palette().color(QPalette::Light));
        p.drawText(baseline + QPoint(1, 1), caption);
        p.setPen(palette().color(QPalette::Dark));
        p.drawText(baseline, caption);
        return;
    }
    m_clrCurrent = (m_nState == STATE_HOVER || m_nState == STATE_RELEASED) ? m_clrHover : m_clrNormal;
    p.setPen(m_clrCurrent);
    p.drawText(baseline, caption);
}

void CHoverButton::LookWherePointerIs()
{
    if (m_bHeld) {
        m_bHovering = m_bPointerInside;
        m_nState = m_bPointerInside ? STATE_PRESSED : STATE_NORMAL;
    } else if (!m_bPointerInside) {
        m_bHovering = false;
        m_nState = STATE_NORMAL;
    } else if (!m_bHovering) {
        // A button already hovering keeps its look: the released look
        // stays until the pointer leaves.
        m_bHovering = true;
        m_nState = STATE_HOVER;
    }
    Redraw();
}

void CHoverButton::enterEvent(QEnterEvent* e)
{
    // A disabled button keeps its hover as it is; enabling it looks again.
    m_bPointerInside = true;
    if (isEnabled())
        LookWherePointerIs();
    QAbstractButton::enterEvent(e);
}

void CHoverButton::leaveEvent(QEvent* e)
{
    m_bPointerInside = false;
    if (isEnabled())
        LookWherePointerIs();
    QAbstractButton::leaveEvent(e);
}

void CHoverButton::mouseMoveEvent(QMouseEvent* e)
{
    // A held button gets every move but no leave or enter until the
    // release, so the move tells whether the pointer is still over it.
    // Within the button the look stays as the press left it.
    if (m_bHeld && (e->buttons() & Qt::LeftButton)) {
        const bool inside = hitButton(e->position().toPoint());
        if (inside != m_bPointerInside) {
            m_bPointerInside = inside;
            LookWherePointerIs();
        }
    }
    QAbstractButton::mouseMoveEvent(e);
}

void CHoverButton::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton) {
        m_bHeld = true;
        m_bPointerInside = true;
        m_nState = STATE_PRESSED;
        Redraw();
    }
    QAbstractButton::mousePressEvent(e);
}

void CHoverButton::mouseReleaseEvent(QMouseEvent* e)
{
    // The look for where the pointer is, asked for before the click reaches
    // the owner: released over the button, normal beside it (the leave that
    // Qt sends after such a release finds the normal look already there).
    if (e->button() == Qt::LeftButton) {
        m_bHeld = false;
        m_bPointerInside = hitButton(e->position().toPoint());
        m_bHovering = m_bPointerInside;
        m_nState = m_bPointerInside ? STATE_RELEASED : STATE_NORMAL;
        Redraw();
    }
    QAbstractButton::mouseReleaseEvent(e);
}

void CHoverButton::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::EnabledChange) {
        m_bEnabled = isEnabled();
        if (!m_bEnabled) {
            // The normal look; the hover stays as it was until the button
            // is enabled again. A disabled button gets no release.
            m_nState = STATE_NORMAL;
            m_bHeld = false;
        } else {
            // Look where the pointer is now, whatever the hover was.
            m_bHovering = m_bPointerInside;
            m_nState = m_bPointerInside ? STATE_HOVER : STATE_NORMAL;
        }
        Redraw();
    }
    QAbstractButton::changeEvent(e);
}
