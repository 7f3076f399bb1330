#include "controls/SplashWnd.h"
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

CSplashWnd::CSplashWnd(const QString& fileName)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setAttribute(Qt::WA_NoSystemBackground);  // the picture covers every pixel
    m_bLoaded = m_picture.Load(fileName);
    if (m_bLoaded) {
        const QSize s = m_picture.GetImageSize();
        m_nWidth = s.width();
        m_nHeight = s.height();
    }
}

CSplashWnd::~CSplashWnd() = default;

bool CSplashWnd::ShowSplash()
{
    if (!m_bLoaded || m_nWidth <= 0 || m_nHeight <= 0)
        return false;
    resize(m_nWidth, m_nHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - m_nWidth) / 2, area.top() + (area.height() - m_nHeight) / 2);
    }
    show();
    repaint();
    return true;
}

void CSplashWnd::DrawCaption(const QString& text)
{
    if (!m_bLoaded)
        return;
    m_strCaption = text;
    if (isVisible())
        repaint();
}

void CSplashWnd::DestroyWindow()
{
    if (testAttribute(Qt::WA_WState_Created)) {
        hide();
        destroy();
    }
}

void CSplashWnd::paintEvent(QPaintEvent*)
{
    if (!m_bLoaded)
        return;
    QPainter painter(this);
    m_picture.Draw(painter);
    if (!m_strCaption.isEmpty())
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_strCaption);
}
