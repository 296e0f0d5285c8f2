// A paint area: draws through a callback in its paint event and can show one
// inverted vertical cursor line over its picture. Without a callback the
// parent's background shows through, as for an area nothing was drawn into.
#pragma once

#include <QWidget>

#include <functional>

class QPainter;

class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent = nullptr);

    std::function<void(QPainter&, const QRect&)> OnPaint;

    // Shows the cursor line at x (inverting the pixels under it) until the
    // next ClearCursor or repaint request of the picture.
    void ShowCursorLine(int x);
    void ClearCursor();
    bool CursorVisible() const { return CursorShown; }
    int CursorX() const { return CursorLineX; }

signals:
    void MouseMoved(int x);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    bool CursorShown = false;
    int CursorLineX = 0;
};
