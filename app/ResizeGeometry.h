#pragma once
#include "app/RectList.h"
#include <vector>

// Where the window's children go when its size changes, computed from the
// rectangles recorded when it opened (never from the previous size, so that
// repeated resizing does not pile up truncation errors).
//
// All rectangles are in screen coordinates with exclusive right and bottom
// edges. Pure computation: no window is touched.
struct ResizeLayout {
    float rx = 1.0f;  // new width / recorded width of the window
    float ry = 1.0f;  // new height / recorded height of the window
    // The children's font: character height ry x 14 and average character
    // width rx x 7, each truncated toward zero (pixels; 0 means "the font's
    // own choice", as for a font request that gives no size).
    int fontHeight = 14;
    int fontWidth = 7;
    // One rectangle per recorded child, in the recorded order.
    std::vector<WinRect> children;
};

// Font cell of the children at the size recorded at start-up.
constexpr int RESIZE_FONT_HEIGHT = 14;
constexpr int RESIZE_FONT_WIDTH = 7;

// Computes the layout for the window's current rectangle `now`.
//
// recorded: element 0 is the window's rectangle at start-up, then one per
// child. Returns false, leaving `out` untouched, when there is nothing to lay
// out: the list is empty, or the recorded window has no width or height
// (a ratio would divide by zero).
//
// Left and top edges keep their scaled distance from the window's left and
// top edge, right and bottom edges theirs from the window's right and bottom
// edge; each distance is scaled in double precision by the 32-bit ratio and
// truncated toward zero.
bool ComputeResizeLayout(const CRectList& recorded, const WinRect& now, ResizeLayout& out);
