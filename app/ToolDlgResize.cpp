// Proportional resizing: every child keeps its place and size in proportion
// to the window's size when it opened, and gets a font scaled the same way.
#include "app/ResizeGeometry.h"
#include "app/ToolDlg.h"
#include <QFont>
#include <QFontMetrics>
#include <algorithm>

namespace {
// A widget's rectangle in screen coordinates. For the window itself this is
// its client area: the frame a window manager adds is not known everywhere
// (there is none under the offscreen platform), and only proportions matter.
WinRect ScreenRect(const QWidget* w)
{
    const QPoint p = w->mapToGlobal(QPoint(0, 0));
    return {p.x(), p.y(), p.x() + w->width(), p.y() + w->height()};
}

// "Times New Roman" with a pixel size of `height` and an average character
// width of `width` pixels. The width is reached by stretching the face
// relative to its own average width at that size. A size of 0 leaves that
// dimension to the font.
QFont ScaledFont(int height, int width)
{
    QFont f(QStringLiteral("Times New Roman"));
    if (height > 0)
        f.setPixelSize(height);
    if (width > 0) {
        const int natural = QFontMetrics(f).averageCharWidth();
        if (natural > 0)
            f.setStretch(std::clamp(static_cast<int>(100.0 * width / natural + 0.5), 1, 4000));
    }
    return f;
}
} // namespace

void CToolDlg::RecordRects()
{
    m_rectList.AddTail(ScreenRect(this));
    for (const QWidget* w : m_children)
        m_rectList.AddTail(ScreenRect(w));
}

void CToolDlg::OnSize()
{
    ResizeLayout layout;
    if (ComputeResizeLayout(m_rectList, ScreenRect(this), layout)) {
        const QFont font = ScaledFont(layout.fontHeight, layout.fontWidth);
        // The window's rectangle is its client area, so screen to client is
        // a shift by its origin.
        const QPoint origin = mapToGlobal(QPoint(0, 0));
        const std::size_t n = std::min(m_children.size(), layout.children.size());
        for (std::size_t i = 0; i < n; ++i) {
            const WinRect& r = layout.children[i];
            m_children[i]->setGeometry(r.left - origin.x(), r.top - origin.y(), r.width(), r.height());
            m_children[i]->setFont(font);
        }
    }
    update();
}
