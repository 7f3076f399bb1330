// Placeholder: the framed edit is being built.
#include "controls/FrameEdit.h"
CFrameEdit::CFrameEdit(QWidget* parent) : QLineEdit(parent) {}
void CFrameEdit::SetFrameColor(QColor c) { m_clrFrame = c; }
void CFrameEdit::paintEvent(QPaintEvent* e) { QLineEdit::paintEvent(e); }
