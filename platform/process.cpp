#include "platform/process.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace kb::platform {
namespace {

// Descriptors from 3 up are closed in the child so sockets and files stay ours.
constexpr int kFirstDescriptorToClose = 3;

class SpawnProcessStarter final : public ProcessStarter {
public:
    bool start_detached(const std::vector<std::string>& arguments) override {
        if (arguments.empty() || arguments[0].empty()) return false;
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 1);
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attributes;
        if (posix_spawn_file_actions_init(&actions) != 0) return false;
        if (posix_spawnattr_init(&attributes) != 0) {
            posix_spawn_file_actions_destroy(&actions);
            return false;
        }
        posix_spawn_file_actions_addclosefrom_np(&actions, kFirstDescriptorToClose);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);

        pid_t child = 0;
        int result = posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        if (result != 0) return false;

        // The child runs on its own; only its exit status is collected.
        std::thread([child] {
            int status = 0;
            while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
        return true;
    }
};

}  // namespace

ProcessStarter& system_process_starter() {
    static SpawnProcessStarter starter;
    return starter;
}

bool open_with_desktop(ProcessStarter& starter, const std::string& target) {
    return starter.start_detached({kDesktopOpener, target});
}

}  // namespace kb::platform
