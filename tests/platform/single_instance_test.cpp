#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstring>

#include <atomic>
#include <functional>
#include <string>

#include "platform/clock.h"
#include "platform/folder_identity.h"
#include "platform/single_instance.h"
#include "platform/system_info.h"
#include "tests/support/temp_folder.h"

namespace kb::platform {
namespace {

// A name no real terminal and no other test uses.
std::string unique_name() {
    static std::atomic<int> counter{0};
    return "kb-test-instance-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// A manual clock whose pauses can run a step of the test, e.g. the first instance coming
// up while the second waits.
class SteppingClock final : public Clock {
public:
    std::function<void(int pause_number)> on_pause;

    uint32_t tick_ms() override { return inner_.tick_ms(); }
    int64_t unix_time() override { return inner_.unix_time(); }
    DateTime local_time() override { return inner_.local_time(); }
    void sleep_ms(uint32_t ms) override {
        inner_.sleep_ms(ms);
        ++pauses_;
        if (on_pause) on_pause(pauses_);
    }
    uint64_t total_slept_ms() { return inner_.total_slept_ms(); }

private:
    ManualClock inner_;
    int pauses_ = 0;
};

struct InstancePair : ::testing::Test {
    kb::testing::TempFolder lock_folder;
    std::string name = unique_name();
    SingleInstance first{name, lock_folder.path()};
    SingleInstance second{name, lock_folder.path()};
    std::atomic<int> brought_to_front{0};
    SteppingClock clock;

    void SetUp() override { ASSERT_EQ(first.check(clock), InstanceCheck::First); }
    bool first_listens() {
        return first.listen([this] { ++brought_to_front; });
    }
};

TEST_F(InstancePair, SecondStartAsksTheRunningFirstToComeToTheFront) {
    ASSERT_TRUE(first_listens());
    EXPECT_EQ(second.check(clock), InstanceCheck::OtherBroughtToFront);
    EXPECT_FALSE(second.holds_lock());
    EXPECT_EQ(brought_to_front.load(), 1);
    EXPECT_EQ(clock.total_slept_ms(), 0u);
}

TEST_F(InstancePair, SecondStartWaitsWhileTheFirstIsStillComingUp) {
    clock.on_pause = [this](int pause) {
        if (pause == 10) {
            ASSERT_TRUE(first_listens());
        }
    };
    EXPECT_EQ(second.check(clock), InstanceCheck::OtherBroughtToFront);
    EXPECT_EQ(clock.total_slept_ms(), 10u * kInstanceRetryMs);
    EXPECT_EQ(brought_to_front.load(), 1);
}

TEST_F(InstancePair, SecondStartGivesUpAfterTwentyFiveSilentAttempts) {
    EXPECT_EQ(second.check(clock), InstanceCheck::StartAnyway);
    EXPECT_EQ(clock.total_slept_ms(), uint64_t{kInstanceAttempts} * kInstanceRetryMs);
    EXPECT_FALSE(second.holds_lock());
}

TEST_F(InstancePair, LockOfAFirstThatEndsWhileWaitingIsTaken) {
    auto* leaving = new SingleInstance(name + "-leaving", lock_folder.path());
    SingleInstance waiting(name + "-leaving", lock_folder.path());
    ASSERT_EQ(leaving->check(clock), InstanceCheck::First);
    clock.on_pause = [&](int pause) {
        if (pause == 3) {
            delete leaving;
            leaving = nullptr;
        }
    };
    EXPECT_EQ(waiting.check(clock), InstanceCheck::First);
    EXPECT_TRUE(waiting.holds_lock());
    EXPECT_EQ(clock.total_slept_ms(), 3u * kInstanceRetryMs);
    delete leaving;
}

TEST_F(InstancePair, OnlyTheBringToFrontQuestionIsAnswered) {
    ASSERT_TRUE(first_listens());
    EXPECT_FALSE(ask_local(name, LocalMessage{kBringToFrontQuestion + 1, 0}, 1000).has_value());
    EXPECT_EQ(brought_to_front.load(), 0);
    // The listener keeps serving after a question it ignored.
    EXPECT_EQ(second.check(clock), InstanceCheck::OtherBroughtToFront);
}

TEST_F(InstancePair, AFirstThatStoppedListeningIsNotAsked) {
    ASSERT_TRUE(first_listens());
    first.stop_listening();
    EXPECT_EQ(second.check(clock), InstanceCheck::StartAnyway);
    EXPECT_EQ(brought_to_front.load(), 0);
}

TEST(SingleInstance, UnusableLockFolderFailsTheCheck) {
    SingleInstance instance(unique_name(), "/nonexistent-kb-folder");
    ManualClock clock;
    EXPECT_EQ(instance.check(clock), InstanceCheck::Failed);
}

// Runs body in a child process under another user's id (nobody); as root only.
class OtherUser {
public:
    static constexpr uid_t kNobody = 65534;

    explicit OtherUser(const std::function<void(int ready_fd)>& body) {
        int pipe_fds[2];
        if (::pipe(pipe_fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(pipe_fds[0]);
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(1);
            body(pipe_fds[1]);
            ::_exit(0);
        }
        ::close(pipe_fds[1]);
        char ready = 0;
        ready_ = ::read(pipe_fds[0], &ready, 1) == 1;
        ::close(pipe_fds[0]);
    }
    ~OtherUser() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    bool ready() const { return ready_; }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

TEST(SingleInstance, AListenerOfAnotherUserIsNotAsked) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a listener as another user";
    const std::string name = unique_name();
    // Another user takes the name first and answers every question as the first instance would.
    OtherUser impostor([&](int ready_fd) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + 1, name.data(), name.size());
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 4) != 0) return;
        if (::write(ready_fd, "r", 1) != 1) return;
        for (;;) {
            const int connection = ::accept(fd, nullptr, nullptr);
            LocalMessage question{};
            if (::read(connection, &question, sizeof question) != sizeof question) continue;
            const LocalMessage answer{kBringToFrontDone, 0};
            if (::write(connection, &answer, sizeof answer) != sizeof answer) continue;
            ::close(connection);
        }
    });
    ASSERT_TRUE(impostor.ready());
    EXPECT_FALSE(ask_local(name, LocalMessage{kBringToFrontQuestion, 0}, 500));

    kb::testing::TempFolder lock_folder;
    SingleInstance instance(name, lock_folder.path());
    ManualClock clock;
    EXPECT_EQ(instance.check(clock), InstanceCheck::First) << "the impostor's answer doesn't stop the start";
}

TEST(SingleInstance, LockFolderWithoutARuntimeFolderIsPrivate) {
    kb::testing::TempFolder base;
    const std::string folder = private_runtime_folder(base.path());
    EXPECT_EQ(folder, base.path() + "/" + default_instance_name());
    struct stat info {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(private_runtime_folder(base.path()), folder) << "found again on the next start";

    // A folder of that name that someone else made, or a link, is not used.
    kb::testing::TempFolder other_base, link_base;
    ASSERT_EQ(::symlink(base.path().c_str(), (link_base.path() + "/" + default_instance_name()).c_str()), 0);
    EXPECT_EQ(private_runtime_folder(link_base.path()), "");
    if (::geteuid() == 0) {
        const std::string taken = other_base.path() + "/" + default_instance_name();
        ASSERT_EQ(::mkdir(taken.c_str(), 0777), 0);
        ASSERT_EQ(::chown(taken.c_str(), OtherUser::kNobody, OtherUser::kNobody), 0);
        EXPECT_EQ(private_runtime_folder(other_base.path()), "");
    }

    const std::string saved = environment_value("XDG_RUNTIME_DIR");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_NE(runtime_folder(), "/tmp") << "the shared /tmp is writable by every user";
    if (!saved.empty()) ::setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

TEST(SingleInstance, DefaultNameIsTheProductAndTheUser) {
    EXPECT_EQ(default_instance_name(), "Kestrelbay-" + std::to_string(::getuid()));
}

TEST(FolderIdentity, TerminalAnswersItsOwnIdentityAndRejectsAForeignOne) {
    kb::testing::TempFolder here, elsewhere;
    FolderIdentityListener listener;
    ASSERT_TRUE(listener.start(here.path()));

    auto own = ask_folder_identity(here.path(), folder_identity_value(here.path()), 1000);
    ASSERT_TRUE(own.has_value());
    EXPECT_EQ(own->result, kFolderIdentityMatch);
    EXPECT_EQ(own->process_id, ::getpid());

    auto foreign = ask_folder_identity(here.path(), folder_identity_value(elsewhere.path()), 1000);
    ASSERT_TRUE(foreign.has_value());
    EXPECT_EQ(foreign->result, kFolderIdentityMismatch);

    EXPECT_FALSE(ask_folder_identity(elsewhere.path(), folder_identity_value(elsewhere.path()), 1000).has_value());
}

TEST(FolderIdentity, OneTerminalPerFolder) {
    kb::testing::TempFolder folder;
    FolderIdentityListener first, second;
    ASSERT_TRUE(first.start(folder.path()));
    EXPECT_FALSE(second.start(folder.path()));
    first.stop();
    EXPECT_TRUE(second.start(folder.path()));
}

TEST(FolderIdentity, DifferentFoldersGetDifferentNamesAndValues) {
    const char* folders[] = {"/opt/kestrelbay", "/opt/kestrelbay2", "/home/u/kestrelbay", "/opt/Kestrelbay"};
    for (const char* a : folders)
        for (const char* b : folders) {
            if (a == b) continue;
            EXPECT_NE(folder_identity_value(a), folder_identity_value(b)) << a << " " << b;
            EXPECT_NE(folder_socket_name(a), folder_socket_name(b)) << a << " " << b;
        }
    EXPECT_EQ(folder_identity_value("/opt/kestrelbay"), folder_identity_value("/opt/kestrelbay"));
}

}  // namespace
}  // namespace kb::platform
