#include "ui/terminal_window.h"

#include "session/server_session.h"

namespace kb::ui {

TerminalWindow::TerminalWindow(core::Terminal& terminal)
    : terminal_(terminal), notifier_(std::make_unique<QtNotifier>()), window_(std::make_unique<MainWindow>(terminal)) {
    notifier_->set_window(window_.get());
    terminal_.set_notifier(notifier_.get());
}

TerminalWindow::~TerminalWindow() {
    // The connection threads end before the window goes.
    if (session::ServerSession* session = terminal_.services().server_session.get()) session->stop();
    // From here on posts are dropped, but the notifier stays: the window's views end their
    // downloads and trade requests as it goes, and the services' threads (synchronisation,
    // trade channels) end only in shutdown; each may post until it has ended.
    notifier_->set_window(nullptr);
    window_.reset();
    terminal_.shutdown();
    terminal_.set_notifier(nullptr);
    notifier_.reset();
}

void TerminalWindow::start_session() {
    if (session::ServerSession* session = terminal_.services().server_session.get()) session->start();
}

}  // namespace kb::ui
