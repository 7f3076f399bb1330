#include "app/ResizeGeometry.h"
#include <cmath>
#include <limits>

namespace {
// trunc(distance x ratio), kept within int range for absurd ratios.
int ScaleDistance(int distance, float ratio)
{
    const double v = std::trunc(static_cast<double>(distance) * static_cast<double>(ratio));
    constexpr double lo = std::numeric_limits<int>::min() / 2;
    constexpr double hi = std::numeric_limits<int>::max() / 2;
    return static_cast<int>(v < lo ? lo : (v > hi ? hi : v));
}

int TruncFloat(float v)
{
    constexpr float hi = 1.0e6f;
    return static_cast<int>(std::trunc(v < -hi ? -hi : (v > hi ? hi : v)));
}
} // namespace

bool ComputeResizeLayout(const CRectList& recorded, const WinRect& now, ResizeLayout& out)
{
    if (recorded.IsEmpty())
        return false;
    const WinRect& o = recorded.GetHead();
    if (o.width() <= 0 || o.height() <= 0)
        return false;

    ResizeLayout l;
    l.rx = static_cast<float>(static_cast<double>(now.width()) / o.width());
    l.ry = static_cast<float>(static_cast<double>(now.height()) / o.height());
    // The font's sizes are float products (the ratio times a small whole
    // number), truncated.
    l.fontHeight = TruncFloat(l.ry * RESIZE_FONT_HEIGHT);
    l.fontWidth = TruncFloat(l.rx * RESIZE_FONT_WIDTH);

    const std::vector<WinRect>& rects = recorded.Rects();
    l.children.reserve(rects.size() - 1);
    for (std::size_t i = 1; i < rects.size(); ++i) {
        const WinRect& r = rects[i];
        WinRect n;
        n.left = ScaleDistance(r.left - o.left, l.rx) + now.left;
        n.top = ScaleDistance(r.top - o.top, l.ry) + now.top;
        n.right = ScaleDistance(r.right - o.right, l.rx) + now.right;
        n.bottom = ScaleDistance(r.bottom - o.bottom, l.ry) + now.bottom;
        l.children.push_back(n);
    }
    out = std::move(l);
    return true;
}
