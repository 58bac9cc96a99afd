#pragma once
#include "core/terminal.h"
#include "platform/process.h"
#include "platform/sound.h"

namespace kb::ui {

// Creates the terminal's global services in their start order: the server list and the
// configuration (then loads both), later the saved accounts. The services that arrive
// with later work are created here in their places. The sound player and the process
// starter are not owned and must outlive the terminal's services.
class TerminalServices final : public core::ServiceFactory {
public:
    TerminalServices(platform::SoundPlayer& sound, platform::ProcessStarter& starter)
        : sound_(sound), starter_(starter) {}

    void create_configuration(core::Terminal& terminal) override;
    void create_services(core::Terminal& terminal) override;

private:
    platform::SoundPlayer& sound_;
    platform::ProcessStarter& starter_;
};

}  // namespace kb::ui
