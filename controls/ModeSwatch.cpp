// Placeholder: the mode swatch is being built.
#include "controls/ModeSwatch.h"
ModeSwatch::ModeSwatch(QWidget* parent) : QFrame(parent) {}
void ModeSwatch::draw(const QString& t, QColor b, QColor c) { m_text = t; m_background = b; m_textColor = c; m_drawn = true; update(); }
void ModeSwatch::paintEvent(QPaintEvent* e) { QFrame::paintEvent(e); }
