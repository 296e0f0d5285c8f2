// Acting inside a modal window from a test: `script` runs once the window's
// event loop does; should the script leave the window open (a failed check,
// say), the window is dismissed so the test never hangs.
#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>

inline void ActInModal(QDialog& form, const std::function<void()>& script) {
    QTimer::singleShot(0, &form, [&form, script] {
        script();
        if (form.isVisible()) {
            form.reject();
        }
    });
}
