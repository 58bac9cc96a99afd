#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/file_faults.h"
#include "platform/file_head.h"
#include "tests/support/temp_folder.h"

namespace kb::platform {
namespace {

std::span<const uint8_t> bytes_of(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string text_of(const std::string& path) {
    auto bytes = read_file(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<unreadable>");
}

unsigned mode_of(const std::string& path) {
    struct stat info{};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

struct FaultsCleared {
    ~FaultsCleared() { clear_file_faults(); }
};

TEST(ReplacementFile, TakesThePermissionsOfTheFileItReplacesOrOwnerOnly) {
    struct Case {
        const char* name;
        unsigned before;   // 0: no file yet
        FileAccess access;
        unsigned after;
    };
    const Case cases[] = {
        {"new shared file", 0, FileAccess::Shared, 0644},
        {"kept group-readable", 0640, FileAccess::Shared, 0640},
        {"kept group-writable despite the umask", 0664, FileAccess::Shared, 0664},
        {"owner-only narrows", 0644, FileAccess::OwnerOnly, 0600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kb::testing::TempFolder folder;
        const std::string path = folder.file("store");
        if (c.before != 0) {
            ASSERT_TRUE(write_file_atomic(path, bytes_of("old")));
            ASSERT_EQ(::chmod(path.c_str(), c.before), 0);
        }
        ReplacementFile file(path, c.access);
        ASSERT_TRUE(file.write(bytes_of("new ")));
        ASSERT_TRUE(file.write(bytes_of("text")));
        ASSERT_TRUE(file.commit());
        EXPECT_EQ(text_of(path), "new text");
        EXPECT_EQ(mode_of(path), c.after);
        EXPECT_EQ(list_folder(folder.path()).size(), 1u);
    }
}

TEST(ReplacementFile, AFullDiskOrAnUncommittedFileLeavesTheOldOneAndNoTemporary) {
    FaultsCleared cleared;
    kb::testing::TempFolder folder;
    const std::string path = folder.file("store");
    ASSERT_TRUE(write_file_atomic(path, bytes_of("old")));
    for (uint64_t room : {0, 3, 7}) {
        fail_writes_after(folder.path(), room);
        EXPECT_FALSE(write_file_atomic(path, bytes_of("new text"))) << room;
        EXPECT_EQ(text_of(path), "old") << room;
    }
    clear_file_faults();
    {
        ReplacementFile abandoned(path);
        ASSERT_TRUE(abandoned.write(bytes_of("never committed")));
    }
    EXPECT_EQ(text_of(path), "old");
    EXPECT_EQ(list_folder(folder.path()).size(), 1u);
    fail_writes_after(folder.file("elsewhere"), 0);
    EXPECT_TRUE(write_file_atomic(path, bytes_of("new"))) << "the fault holds for its prefix only";
}

TEST(FileFaults, RefusedReadsFailAlsoForRoot) {
    FaultsCleared cleared;
    kb::testing::TempFolder folder;
    const std::string path = folder.file("log");
    ASSERT_TRUE(write_file_atomic(path, bytes_of("contents")));
    fail_reads(path);
    EXPECT_FALSE(read_file(path));
    EXPECT_FALSE(read_file_head(path, 4));
    EXPECT_TRUE(file_exists(path));
    EXPECT_EQ(file_size(path), 8);
    clear_file_faults();
    EXPECT_EQ(text_of(path), "contents");
}

}  // namespace
}  // namespace kb::platform
