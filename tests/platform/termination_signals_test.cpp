#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>

#include "platform/termination_signals.h"

namespace kb::platform {
namespace {

bool readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1;
}

TEST(TerminationSignals, TurnInterruptAndTerminateIntoAReadablePipe) {
    TerminationSignals signals;
    ASSERT_TRUE(signals.install());
    EXPECT_FALSE(readable(signals.read_fd()));
    EXPECT_FALSE(signals.take());

    for (int signal_number : {SIGINT, SIGTERM}) {
        ASSERT_EQ(::raise(signal_number), 0);
        EXPECT_TRUE(readable(signals.read_fd())) << signal_number;
        EXPECT_TRUE(signals.take()) << signal_number;
        EXPECT_FALSE(signals.take()) << signal_number;
    }

    TerminationSignals second;
    EXPECT_FALSE(second.install()) << "one owner per process";
}

TEST(TerminationSignals, CanBeInstalledAgainAfterTheOwnerWent) {
    {
        TerminationSignals first;
        ASSERT_TRUE(first.install());
    }
    TerminationSignals again;
    EXPECT_TRUE(again.install());
    ASSERT_EQ(::raise(SIGTERM), 0);
    EXPECT_TRUE(again.take());
}

}  // namespace
}  // namespace kb::platform
