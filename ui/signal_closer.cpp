#include "ui/signal_closer.h"

#include <QWidget>

namespace kb::ui {

SignalCloser::SignalCloser(QWidget& window, QObject* parent) : QObject(parent) {
    if (!signals_.install()) return;
    notifier_ = std::make_unique<QSocketNotifier>(signals_.read_fd(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this, &window] {
        if (signals_.take()) window.close();
    });
}

}  // namespace kb::ui
