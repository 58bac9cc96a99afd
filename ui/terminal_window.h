#pragma once
#include <memory>

#include "core/terminal.h"
#include "ui/main_window.h"
#include "ui/qt_notifier.h"

namespace kb::ui {

// The running terminal's main window and the notifier that carries the services'
// notifications to it. Made once the services exist; its end is the terminal's end:
//
//   session stopped -> window withdrawn and destroyed (its downloads and trade requests
//   end) -> Terminal::shutdown (the services' threads end) -> notifier withdrawn, destroyed
//
// so that every thread that can post has ended before the notifier goes.
// User-interface thread only.
class TerminalWindow {
public:
    // Creates the window and publishes it and the notifier.
    explicit TerminalWindow(core::Terminal& terminal);
    // Stops everything in the order above.
    ~TerminalWindow();
    TerminalWindow(const TerminalWindow&) = delete;
    TerminalWindow& operator=(const TerminalWindow&) = delete;

    MainWindow& window() { return *window_; }
    // Starts the session's trade server thread (none without a session).
    void start_session();

private:
    core::Terminal& terminal_;
    std::unique_ptr<QtNotifier> notifier_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace kb::ui
