#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system_info.h"

namespace kb::platform {

std::string private_runtime_folder(const std::string& base) {
    const std::string folder = base + "/" + default_instance_name();
    ::mkdir(folder.c_str(), 0700);
    struct stat info {};
    // Another user may have made the folder first: then it isn't ours to use.
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) return {};
    if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) return {};
    return folder;
}

std::string runtime_folder() {
    std::string folder = environment_value("XDG_RUNTIME_DIR");
    if (!folder.empty()) return folder;
    folder = private_runtime_folder("/tmp");
    return folder.empty() ? home_folder() : folder;
}

std::string default_instance_name() {
    return std::string(kProductName) + "-" + std::to_string(::getuid());
}

SingleInstance::SingleInstance(std::string name, std::string lock_folder)
    : name_(std::move(name)), lock_path_(std::move(lock_folder) + "/" + name_ + ".lock") {}

SingleInstance::~SingleInstance() {
    listener_.stop();
    if (lock_fd_ >= 0) ::close(lock_fd_);   // closing the descriptor releases the flock
}

bool SingleInstance::try_lock() {
    int rc;
    do rc = ::flock(lock_fd_, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    locked_ = rc == 0;
    return locked_;
}

InstanceCheck SingleInstance::check(Clock& clock) {
    if (locked_) return InstanceCheck::First;
    if (lock_fd_ < 0) lock_fd_ = ::open(lock_path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock_fd_ < 0) return InstanceCheck::Failed;
    for (int attempt = 0; attempt < kInstanceAttempts; ++attempt) {
        if (try_lock()) return InstanceCheck::First;
        std::optional<LocalMessage> answer =
            ask_local(name_, LocalMessage{kBringToFrontQuestion, 0}, kBringToFrontAnswerMs);
        if (answer && answer->code == kBringToFrontDone) return InstanceCheck::OtherBroughtToFront;
        clock.sleep_ms(kInstanceRetryMs);
    }
    return InstanceCheck::StartAnyway;
}

bool SingleInstance::listen(std::function<void()> on_bring_to_front) {
    return listener_.start(name_, [callback = std::move(on_bring_to_front)](const LocalMessage& question)
                                      -> std::optional<LocalMessage> {
        if (question.code != kBringToFrontQuestion) return std::nullopt;
        callback();
        return LocalMessage{kBringToFrontDone, 0};
    });
}

}  // namespace kb::platform
