// Small makers for the controls of the program's windows: each places a
// control at its reference position and gives it its object name.
#pragma once

#include <QRect>
#include <QString>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

// A label whose size follows its caption.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, int x, int y);
// A label of fixed geometry.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, const QRect& geometry);
// A push button that is never the dialog's default.
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& geometry);
QListWidget* MakeList(QWidget* parent, const char* name, const QRect& geometry);
// A read-only one-line edit on light grey.
QLineEdit* MakeReadOnlyEdit(QWidget* parent, const QString& text);
