#include "widgets/Controls.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, int x, int y) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption,
                  const QRect& geometry) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

QListWidget* MakeList(QWidget* parent, const char* name, const QRect& geometry) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setGeometry(geometry);
    return list;
}

QLineEdit* MakeReadOnlyEdit(QWidget* parent, const QString& text) {
    auto* edit = new QLineEdit(text, parent);
    edit->setReadOnly(true);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, QColor(211, 211, 211));
    edit->setPalette(palette);
    return edit;
}
