#include "core/crash_log.h"

#include <gtest/gtest.h>

#include "platform/file_faults.h"
#include "platform/files.h"
#include "tests/support/temp_folder.h"

namespace kb::core {
namespace {

class CrashLogTest : public ::testing::Test {
protected:
    CrashLogTest() : crash_log(folder.path()) { platform::make_directory(folder.file("logs")); }
    ~CrashLogTest() override { platform::clear_file_faults(); }

    std::vector<uint8_t> leave_file(size_t size) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
        EXPECT_TRUE(platform::write_file_atomic(crash_log.path(), bytes));
        return bytes;
    }

    testing::TempFolder folder;
    CrashLog crash_log;
};

TEST_F(CrashLogTest, LivesInLogs) { EXPECT_EQ(crash_log.path(), folder.path() + "/logs/crashlog.log"); }

TEST_F(CrashLogTest, MissingFileSendsNothing) {
    EXPECT_FALSE(crash_log.prepare_upload());
    EXPECT_FALSE(CrashLog(folder.file("no such folder")).prepare_upload());
}

TEST_F(CrashLogTest, EmptyFileIsDeletedWithoutSending) {
    leave_file(0);
    EXPECT_FALSE(crash_log.prepare_upload());
    EXPECT_FALSE(platform::file_exists(crash_log.path()));
}

TEST_F(CrashLogTest, SendsTheFileUpToTheLimit) {
    const size_t sizes[] = {1, 5000, CrashLog::kUploadLimit, CrashLog::kUploadLimit + 1, 3 * CrashLog::kUploadLimit};
    for (size_t size : sizes) {
        std::vector<uint8_t> bytes = leave_file(size);
        auto upload = crash_log.prepare_upload();
        ASSERT_TRUE(upload) << size;
        bytes.resize(std::min(size, CrashLog::kUploadLimit));
        EXPECT_EQ(*upload, bytes) << size;
        EXPECT_TRUE(platform::file_exists(crash_log.path())) << "kept until the upload is done";
    }
}

TEST_F(CrashLogTest, KeptWhenTheUploadFailsDeletedWhenSent) {
    std::vector<uint8_t> bytes = leave_file(300);
    crash_log.upload_finished(CrashLog::Upload::Failed);
    EXPECT_EQ(platform::read_file(crash_log.path()), bytes);
    EXPECT_EQ(crash_log.prepare_upload(), bytes);
    crash_log.upload_finished(CrashLog::Upload::Sent);
    EXPECT_FALSE(platform::file_exists(crash_log.path()));
}

TEST_F(CrashLogTest, UnreadableFileIsKeptAndNothingSent) {
    const std::vector<uint8_t> bytes = leave_file(100);
    // A refused read rather than permissions, which don't stop root.
    platform::fail_reads(crash_log.path());
    EXPECT_FALSE(crash_log.prepare_upload());
    platform::clear_file_faults();
    EXPECT_EQ(platform::read_file(crash_log.path()), bytes);
}

}  // namespace
}  // namespace kb::core
