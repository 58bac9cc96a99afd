#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"
#include "tests/support/temp_folder.h"

namespace kb::platform {
namespace {

TEST(ProcessStarter, StartsAProgramFromItsArgumentVector) {
    testing::TempFolder folder;
    const std::string marker = folder.file("made by touch; not a shell");
    ASSERT_TRUE(system_process_starter().start_detached({"touch", marker}));
    // The child runs on its own; give it up to five seconds of real time.
    for (int i = 0; i < 500 && !file_exists(marker); ++i) system_clock().sleep_ms(10);
    EXPECT_TRUE(file_exists(marker));
}

TEST(ProcessStarter, RefusesWhatCannotBeStarted) {
    EXPECT_FALSE(system_process_starter().start_detached({}));
    EXPECT_FALSE(system_process_starter().start_detached({""}));
    EXPECT_FALSE(system_process_starter().start_detached({"kb-no-such-program-here"}));
}

}  // namespace
}  // namespace kb::platform
