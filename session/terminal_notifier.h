#pragma once
#include "core/terminal.h"
#include "platform/notifier.h"

namespace kb::session {

// The session's notifier in the running terminal: posts go through the context, which
// drops them while no window is published; a sent code waits for the window's answer
// (0 without a window). Thread-safe.
class TerminalNotifier final : public platform::Notifier {
public:
    explicit TerminalNotifier(core::Terminal& terminal) : terminal_(terminal) {}
    void post(int code, intptr_t value) override { terminal_.notify(core::notification_of(code), value); }
    intptr_t send(int code, intptr_t value) override {
        platform::Notifier* target = terminal_.notifier();
        return target ? target->send(code, value) : 0;
    }

private:
    core::Terminal& terminal_;
};

}  // namespace kb::session
