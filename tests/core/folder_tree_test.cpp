#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <regex>

#include "core/folder_tree.h"
#include "core/system_info.h"
#include "platform/files.h"
#include "tests/support/temp_folder.h"

namespace kb::core {
namespace {

class FolderTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"a", "a/sub", "a/sub/deeper", "a/empty", "outside"})
            ASSERT_TRUE(platform::make_directory(folder.file(sub)));
        for (const char* file : {"a/1.txt", "a/2.hst", "a/sub/3.txt", "a/sub/deeper/4.txt", "outside/keep.txt"})
            std::ofstream(folder.file(file)) << "x";
    }

    kb::testing::TempFolder folder;
};

TEST_F(FolderTreeTest, RemovesEverythingAndCountsFilesAndFolders) {
    EXPECT_EQ(delete_folder_tree(folder.file("a"), "*"), 8);   // 4 files, 3 sub-folders, the folder
    EXPECT_FALSE(platform::directory_exists(folder.file("a")));
    EXPECT_EQ(delete_folder_tree(folder.file("a"), "*"), 0);
}

TEST_F(FolderTreeTest, MaskSelectsTheEntriesAndAFolderLeftNonEmptyStays) {
    EXPECT_EQ(delete_folder_tree(folder.file("a"), "*.txt"), 1);
    EXPECT_FALSE(platform::file_exists(folder.file("a/1.txt")));
    EXPECT_TRUE(platform::file_exists(folder.file("a/2.hst")));
    EXPECT_TRUE(platform::file_exists(folder.file("a/sub/3.txt"))) << "a folder not matching the mask is not entered";
    EXPECT_TRUE(platform::directory_exists(folder.file("a")));
}

TEST_F(FolderTreeTest, SymbolicLinksAreRemovedNotFollowed) {
    ASSERT_EQ(::symlink(folder.file("outside").c_str(), folder.file("a/link").c_str()), 0);
    EXPECT_EQ(delete_folder_tree(folder.file("a"), "*"), 9);
    EXPECT_TRUE(platform::file_exists(folder.file("outside/keep.txt")));

    ASSERT_EQ(::symlink(folder.file("outside").c_str(), folder.file("alias").c_str()), 0);
    EXPECT_EQ(delete_folder_tree(folder.file("alias"), "*"), 0);
    EXPECT_TRUE(platform::file_exists(folder.file("outside/keep.txt")));
}

TEST(SystemInfo, OperatingSystemVersionHasTheMajorMinorShape) {
    std::string text = os_version_text();
    EXPECT_TRUE(std::regex_match(text, std::regex(R"(Linux [1-9][0-9]*\.[0-9]+)"))) << text;
}

TEST(SystemInfo, CountryIsEmptyWithoutALocale) {
    const char* saved = std::getenv("LC_ALL");
    std::string saved_value = saved ? saved : "";
    ::setenv("LC_ALL", "C", 1);
    EXPECT_EQ(country_name(), "");
    if (saved) ::setenv("LC_ALL", saved_value.c_str(), 1);
    else ::unsetenv("LC_ALL");
}

}  // namespace
}  // namespace kb::core
