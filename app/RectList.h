#pragma once
#include <vector>

// A rectangle as edges: right and bottom lie just outside it, so the width
// is right - left (unlike QRect::right()).
struct WinRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const WinRect&) const = default;
};

// The window's rectangle and those of its children, recorded once when the
// window opens, in screen coordinates. The first element is the window's,
// then one per child in child order.
class CRectList {
public:
    void AddTail(const WinRect& r) { m_rects.push_back(r); }
    const WinRect& GetHead() const { return m_rects.front(); }
    int GetCount() const { return static_cast<int>(m_rects.size()); }
    bool IsEmpty() const { return m_rects.empty(); }
    const std::vector<WinRect>& Rects() const { return m_rects; }

private:
    std::vector<WinRect> m_rects;
};
