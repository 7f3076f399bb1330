// Placeholder: the status light is being built.
#include "controls/LedCtrl.h"
CLedCtrl::CLedCtrl(QWidget* parent) : QWidget(parent) {}
CLedCtrl::~CLedCtrl() = default;
bool CLedCtrl::SetLed(QWidget*, int c, int s, int p) { m_nColor = c; m_nShape = s; m_nPeriod = p; return true; }
void CLedCtrl::paintEvent(QPaintEvent*) {}
void CLedCtrl::timerEvent(QTimerEvent*) {}
