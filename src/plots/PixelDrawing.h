// Pixel-exact filling shared by the plots: rectangles given by their
// corners, without the pen's half-pixel rules.
#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>

#include <utility>

// Fills the pixels x1 <= x < x2, y1 <= y < y2 (corners in any order).
inline void FillPixels(QPainter& canvas, int x1, int y1, int x2, int y2, const QColor& colour) {
    if (x2 < x1) {
        std::swap(x1, x2);
    }
    if (y2 < y1) {
        std::swap(y1, y2);
    }
    if (x2 > x1 && y2 > y1) {
        canvas.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), colour);
    }
}

// A rectangle over the pixels x1 <= x < x2, y1 <= y < y2 (corners in any
// order): a 1-pixel outline on its border pixels and the interior filled.
// An empty one draws nothing.
inline void DrawBox(QPainter& canvas, int x1, int y1, int x2, int y2, const QColor& outline,
                    const QColor& fill) {
    if (x2 < x1) {
        std::swap(x1, x2);
    }
    if (y2 < y1) {
        std::swap(y1, y2);
    }
    if (x2 <= x1 || y2 <= y1) {
        return;
    }
    FillPixels(canvas, x1 + 1, y1 + 1, x2 - 1, y2 - 1, fill);
    FillPixels(canvas, x1, y1, x2, y1 + 1, outline);
    FillPixels(canvas, x1, y2 - 1, x2, y2, outline);
    FillPixels(canvas, x1, y1, x1 + 1, y2, outline);
    FillPixels(canvas, x2 - 1, y1, x2, y2, outline);
}
