// The look every window of the program shares: background colour
// RGB 255/255/102 and Tahoma 8 pt.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

inline const QColor WindowBackgroundColour(255, 255, 102);

inline void ApplyWindowStyle(QWidget* window) {
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, WindowBackgroundColour);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    window->setFont(font);
}
