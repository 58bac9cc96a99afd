#pragma once
#include <QPointer>
#include <mutex>

#include "platform/notifier.h"
#include "ui/main_window.h"

namespace kb::ui {

// Carries the services' notifications to the main window on the user-interface
// thread: post queues the call and returns at once; send waits for the handler's
// answer (called directly when already on the user-interface thread). Until a window
// is set, and after it is withdrawn, posts are dropped and sends answer 0.
// Thread-safe (its lock is a leaf of core/lock_order.h: only the queued call is made under
// it); set_window belongs to the user-interface thread.
class QtNotifier final : public platform::Notifier {
public:
    void set_window(MainWindow* window);

    void post(int code, intptr_t value) override;
    intptr_t send(int code, intptr_t value) override;

private:
    std::mutex lock_;
    QPointer<MainWindow> window_;
};

}  // namespace kb::ui
