#include "ui/qt_notifier.h"

#include <QMetaObject>
#include <QThread>

namespace kb::ui {

void QtNotifier::set_window(MainWindow* window) {
    std::lock_guard guard(lock_);
    window_ = window;
}

void QtNotifier::post(int code, intptr_t value) {
    std::lock_guard guard(lock_);
    MainWindow* window = window_.data();
    if (!window) return;
    // Queued with the window as context: a window deleted meanwhile drops the call.
    QMetaObject::invokeMethod(window, [window, code, value] { window->handle_notification(core::notification_of(code), value); },
                              Qt::QueuedConnection);
}

intptr_t QtNotifier::send(int code, intptr_t value) {
    QPointer<MainWindow> window;
    {
        std::lock_guard guard(lock_);
        window = window_;
    }
    if (!window) return 0;
    auto call = [target = window.data(), code, value]() -> intptr_t {
        return target->handle_notification(core::notification_of(code), value).value_or(0);
    };
    if (QThread::currentThread() == window->thread()) return call();
    // The lock is not held while waiting: the user-interface thread may withdraw the
    // window meanwhile, and Qt then releases this wait without an answer.
    intptr_t result = 0;
    QMetaObject::invokeMethod(window.data(), call, Qt::BlockingQueuedConnection, &result);
    return result;
}

}  // namespace kb::ui
