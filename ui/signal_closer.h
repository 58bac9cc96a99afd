#pragma once
#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "platform/termination_signals.h"

class QWidget;

namespace kb::ui {

// Closes a window the orderly way when SIGINT or SIGTERM arrives, so shutdown runs and
// the journal gets its stop line. One per process; user-interface thread.
class SignalCloser : public QObject {
    Q_OBJECT
public:
    // The window must outlive this object. active() is false when the handlers couldn't
    // be installed (the signals then end the process the default way).
    explicit SignalCloser(QWidget& window, QObject* parent = nullptr);
    bool active() const { return notifier_ != nullptr; }

private:
    platform::TerminationSignals signals_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace kb::ui
