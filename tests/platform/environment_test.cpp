#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/system_info.h"
#include "tests/support/temp_folder.h"

namespace kb::platform {
namespace {

TEST(Environment, TakenValueIsNotInheritedByChildren) {
    ASSERT_EQ(setenv("KB_TEST_SECRET", "s3cret", 1), 0);
    EXPECT_EQ(take_environment_value("KB_TEST_SECRET"), "s3cret");
    EXPECT_EQ(std::getenv("KB_TEST_SECRET"), nullptr);
    EXPECT_EQ(take_environment_value("KB_TEST_SECRET"), "") << "taken once";

    // A child started afterwards sees no such variable.
    testing::TempFolder folder;
    const std::string marker = folder.file("checked");
    ASSERT_TRUE(system_process_starter().start_detached(
        {"sh", "-c", "[ -z \"${KB_TEST_SECRET+set}\" ] && touch \"$0\"", marker}));
    for (int i = 0; i < 500 && !file_exists(marker); ++i) system_clock().sleep_ms(10);
    EXPECT_TRUE(file_exists(marker));
}

}  // namespace
}  // namespace kb::platform
