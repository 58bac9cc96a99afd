#pragma once
#include <string>
#include <vector>

namespace kb::platform {

// Starts other programs: the desktop's opener for documents, the updater, the terminal
// after an update. Programs are started from an argument vector, never through a shell.
// Implementations are thread-safe.
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Starts arguments[0] (looked up on PATH when it has no '/') with the whole vector as
    // its arguments, detached: the caller never waits for it and it gets no descriptor
    // of ours beyond stdin, stdout and stderr. False when the vector is empty or the
    // program can't be started.
    virtual bool start_detached(const std::vector<std::string>& arguments) = 0;
};

// The starter of the machine (posix_spawnp in a new session; a background reaper
// collects the child's exit status so no zombie remains).
ProcessStarter& system_process_starter();

// The desktop's "open" action for a document, folder, URL or program: xdg-open with the
// target as its one argument.
inline constexpr const char* kDesktopOpener = "xdg-open";
bool open_with_desktop(ProcessStarter& starter, const std::string& target);

}  // namespace kb::platform
