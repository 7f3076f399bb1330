// Placeholder: the icon button is being built.
#include "controls/HoverButton.h"
#include <QPainter>
CHoverButton::CHoverButton(const QString& caption, QWidget* parent) : QAbstractButton(parent) { setText(caption); }
CHoverButton::~CHoverButton() = default;
void CHoverButton::SetIcon(const QIcon& n, const QIcon& h) { m_iconNormal = n; m_iconHover = h; m_bHasIcon = true; }
void CHoverButton::SetIconAlign(int a) { m_nIconAlign = a; }
void CHoverButton::SetIconTop(int t) { m_nIconTop = t; }
void CHoverButton::SetHoverColor(QColor c) { m_clrHover = c; }
void CHoverButton::SetNormalColor(QColor c) { m_clrNormal = c; }
void CHoverButton::SetTransparent(bool b) { m_bTransparent = b; }
void CHoverButton::SetFlat(bool b) { m_bFlat = b; }
bool CHoverButton::SetBtnCursor(int) { return true; }
void CHoverButton::paintEvent(QPaintEvent*) { QPainter p(this); p.drawText(rect(), Qt::AlignCenter, text()); }
void CHoverButton::mouseMoveEvent(QMouseEvent* e) { QAbstractButton::mouseMoveEvent(e); }
void CHoverButton::mousePressEvent(QMouseEvent* e) { QAbstractButton::mousePressEvent(e); }
void CHoverButton::mouseReleaseEvent(QMouseEvent* e) { QAbstractButton::mouseReleaseEvent(e); }
void CHoverButton::timerEvent(QTimerEvent*) {}
void CHoverButton::changeEvent(QEvent* e) { QAbstractButton::changeEvent(e); }
bool CHoverButton::event(QEvent* e) { return QAbstractButton::event(e); }
void CHoverButton::Redraw() { update(); }
