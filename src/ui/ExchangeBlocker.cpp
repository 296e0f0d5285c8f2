#include "ui/ExchangeBlocker.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {

// Swallows user input for the whole application.
class TInputFilter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        case QEvent::Close:
            event->ignore();
            return true;
        default:
            return QObject::eventFilter(watched, event);
        }
    }
};

TInputFilter* Filter = nullptr;
int Depth = 0;

} // namespace

void TExchangeBlocker::Begin() {
    if (Depth++ > 0 || QCoreApplication::instance() == nullptr) {
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    while (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
    Filter = new TInputFilter;
    QCoreApplication::instance()->installEventFilter(Filter);
    LetWindowsPaint();
}

void TExchangeBlocker::End() {
    if (Depth == 0 || --Depth > 0 || QCoreApplication::instance() == nullptr) {
        return;
    }
    // Input that arrived during the exchange is dropped, not replayed.
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(Filter);
    delete Filter;
    Filter = nullptr;
    QApplication::restoreOverrideCursor();
}

void TExchangeBlocker::LetWindowsPaint() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

bool TExchangeBlocker::Active() {
    return Depth > 0;
}
