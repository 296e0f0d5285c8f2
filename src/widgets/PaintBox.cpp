#include "widgets/PaintBox.h"

#include <QMouseEvent>
#include <QPainter>

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
}

void TPaintBox::ShowCursorLine(int x) {
    CursorShown = true;
    CursorLineX = x;
    update();
}

void TPaintBox::ClearCursor() {
    if (CursorShown) {
        CursorShown = false;
        update();
    }
}

void TPaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (OnPaint) {
        OnPaint(painter, rect());
    }
    if (CursorShown) {
        // The look of a not-xor pen: every pixel under the line is inverted.
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawLine(CursorLineX, 0, CursorLineX, height());
    }
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMoved(qRound(event->position().x()));
    QWidget::mouseMoveEvent(event);
}
