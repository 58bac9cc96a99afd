#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "core/settings_file.h"
#include "core/settings_store.h"
#include "platform/file_faults.h"
#include "tests/support/temp_folder.h"

namespace kb::core {
namespace {

std::string read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_all(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class SettingsStoreTest : public ::testing::Test {
protected:
    ~SettingsStoreTest() override { platform::clear_file_faults(); }

    kb::testing::TempFolder folder;
    std::string path = folder.file("settings");
    SettingsStore store{path};
};

TEST_F(SettingsStoreTest, FreshStoreGivesDefaultsAndCreatesNothing) {
    EXPECT_EQ(store.read_number("Window", "ActiveTab", 0), 0);
    EXPECT_EQ(store.read_number("Window", "MarketWatchFlags", 24), 24);
    EXPECT_EQ(store.read_text("Settings", "Language", "unknown"), "unknown");
    EXPECT_FALSE(std::ifstream(path).good());
}

TEST_F(SettingsStoreTest, FirstWriteCreatesTheKeyChainOneHeaderPerKey) {
    store.write_number("Window", "ActiveTab", 2);
    EXPECT_EQ(read_all(path),
              "[Software]\n"
              "\n"
              "[Software\\Quorvantis Software]\n"
              "\n"
              "[Software\\Quorvantis Software\\Kestrelbay 4 Mobile]\n"
              "\n"
              "[Software\\Quorvantis Software\\Kestrelbay 4 Mobile\\Window]\n"
              "\"ActiveTab\"=dword:00000002\n");
    EXPECT_EQ(store.read_number("Window", "ActiveTab", 0), 2);

    store.write_text("Settings", "Language", "English");
    EXPECT_NE(read_all(path).find("[Software\\Quorvantis Software\\Kestrelbay 4 Mobile\\Settings]\n"
                                  "\"Language\"=\"English\"\n"),
              std::string::npos);
    EXPECT_EQ(read_all(path).find("[Software]", 1), std::string::npos) << "the chain is created once";
}

TEST_F(SettingsStoreTest, NumbersRoundTripAsTheirBitPattern) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, "00000000"}, {-1, "ffffffff"}, {131096, "00020018"}, {INT32_MIN, "80000000"}, {INT32_MAX, "7fffffff"}};
    for (auto [value, hex] : cases) {
        store.write_number("Objects", "SelectObj", value);
        EXPECT_EQ(store.read_number("Objects", "SelectObj", 7), value);
        EXPECT_NE(read_all(path).find(std::string("\"SelectObj\"=dword:") + hex + "\n"), std::string::npos) << hex;
    }
}

TEST_F(SettingsStoreTest, AnyTextRoundTrips) {
    const std::string cases[] = {"",
                                 "EURUSD",
                                 "say \"hi\"",
                                 "C:\\path\\",
                                 "two\nlines\r\n",
                                 "tab\there",
                                 std::string("nul\0inside", 10),
                                 "\x01\x1f\x7f",
                                 "Größe € 日本語",
                                 "\xff\xfe not UTF-8",
                                 "]\n[Software]\n\"ActiveTab\"=dword:00000009"};
    for (const std::string& text : cases) {
        store.write_text("Settings", "FilterString", text);
        EXPECT_EQ(store.read_text("Settings", "FilterString", "default"), text);
        EXPECT_EQ(store.read_number("Window", "ActiveTab", 0), 0) << "a text never becomes a value of its own";
    }
}

TEST_F(SettingsStoreTest, ValueOfTheOtherTypeReadsAsTheDefault) {
    store.write_text("Window", "ActiveTab", "3");
    EXPECT_EQ(store.read_number("Window", "ActiveTab", 0), 0);
    store.write_number("Settings", "Language", 5);
    EXPECT_EQ(store.read_text("Settings", "Language", "unknown"), "unknown");
    // The other type replaces it, as a registry value of a new type would.
    store.write_number("Window", "ActiveTab", 3);
    EXPECT_EQ(store.read_number("Window", "ActiveTab", 0), 3);
    EXPECT_EQ(store.read_text("Window", "ActiveTab", "none"), "none");
}

TEST_F(SettingsStoreTest, WritesReplaceOnlyTheirOwnValue) {
    store.write_number("Window", "ActiveTab", 1);
    store.write_number("Indicators", "DlgTab", 4);
    store.write_text("Objects", "SelectSym", "GBPUSD");
    store.write_number("Window", "ActiveTab", 2);
    store.write_number("Objects", "DlgTab", 6);
    EXPECT_EQ(store.read_number("Window", "ActiveTab", 0), 2);
    EXPECT_EQ(store.read_number("Indicators", "DlgTab", 0), 4);
    EXPECT_EQ(store.read_number("Objects", "DlgTab", 0), 6);
    EXPECT_EQ(store.read_text("Objects", "SelectSym", "EURUSD"), "GBPUSD");
    EXPECT_EQ(store.read_number("Window", "DlgTab", -5), -5);
}

TEST_F(SettingsStoreTest, NamesAndSectionsIgnoreCaseLikeTheRegistry) {
    store.write_number("Window", "ActiveTab", 1);
    store.write_number("WINDOW", "activetab", 2);
    EXPECT_EQ(store.read_number("window", "ACTIVETAB", 0), 2);
    std::string text = read_all(path);
    EXPECT_EQ(text.find("activetab"), std::string::npos) << "the first spelling stays";
    EXPECT_EQ(text.find("WINDOW"), std::string::npos);
}

TEST_F(SettingsStoreTest, SectionsThatCannotBeKeysAreRefused) {
    for (const char* section : {"", "\\Window", "Window\\", "a\\\\b", "Win\ndow"}) {
        store.write_number(section, "X", 1);
        EXPECT_EQ(store.read_number(section, "X", 9), 9) << section;
    }
    EXPECT_FALSE(std::ifstream(path).good());
    store.write_number("Indicators\\Moving Average", "Period", 14);
    EXPECT_EQ(store.read_number("Indicators\\Moving Average", "Period", 0), 14);
    EXPECT_NE(read_all(path).find("[Software\\Quorvantis Software\\Kestrelbay 4 Mobile\\Indicators]\n"), std::string::npos)
        << "a nested section creates its parent key too";
}

TEST_F(SettingsStoreTest, DamagedLinesAreIgnoredOnReadAndKeptOnRewrite) {
    const std::string damaged =
        "garbage before any key\n"
        "[Software\\Quorvantis Software\\Kestrelbay 4 Mobile\\Window]\n"
        "\"ActiveTab\"=dword:00000004\n"
        "\"Broken\"=dword:xyz\n"
        "\"NoEnd\"=\"open text\n"
        "\"BadEscape\"=\"\\q\"\n"
        "\"Binary\"=hex:01,02\n"
        "[unterminated header\n"
        "\x01\x02\xff\xfe\n"
        "\"NewsFlags\"=dword:0000001c   \r\n"
        "\"Tail\"=\"x\" trailing\n"
        "\"MailFlags\"=dword:000200";   // cut short: no newline, fewer digits
    write_all(path, damaged);
    EXPECT_EQ(store.read_number("Window", "ActiveTab", 0), 4);
    EXPECT_EQ(store.read_number("Window", "NewsFlags", 0), 28);
    EXPECT_EQ(store.read_number("Window", "MailFlags", 0), 0x200);
    for (const char* name : {"Broken", "NoEnd", "BadEscape", "Binary", "Tail"}) {
        EXPECT_EQ(store.read_number("Window", name, -1), -1) << name;
        EXPECT_EQ(store.read_text("Window", name, "d"), "d") << name;
    }

    store.write_number("Window", "LevelSL", 15);
    std::string rewritten = read_all(path);
    for (const char* kept : {"garbage before any key\n", "\"Broken\"=dword:xyz\n", "\"NoEnd\"=\"open text\n",
                             "\"Binary\"=hex:01,02\n", "[unterminated header\n", "\x01\x02\xff\xfe\n"})
        EXPECT_NE(rewritten.find(kept), std::string::npos) << kept;
    EXPECT_EQ(store.read_number("Window", "ActiveTab", 0), 4);
    EXPECT_EQ(store.read_number("Window", "NewsFlags", 0), 28);
    EXPECT_EQ(store.read_number("Window", "MailFlags", 0), 0x200);
    EXPECT_EQ(store.read_number("Window", "LevelSL", 0), 15);
}

TEST_F(SettingsStoreTest, CreatesMissingFoldersAndKeepsTheFilePrivate) {
    std::string nested = folder.file("a/b/c/settings");
    SettingsStore deep(nested);
    deep.write_text("Settings", "ProxyPassword", "secret");
    EXPECT_EQ(deep.read_text("Settings", "ProxyPassword", ""), "secret");
    struct stat info{};
    ASSERT_EQ(::stat(nested.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(SettingsStoreTest, UnwritableLocationFailsSilently) {
    write_all(folder.file("plain"), "a file where a folder should be");
    SettingsStore blocked(folder.file("plain/settings"));
    blocked.write_number("Window", "ActiveTab", 3);
    EXPECT_EQ(blocked.read_number("Window", "ActiveTab", 0), 0);
}

TEST_F(SettingsStoreTest, AStoreThatCannotBeReadIsNotOverwritten) {
    store.write_number("Window", "ActiveTab", 5);
    std::string before = read_all(path);
    // A refused read rather than permissions, which don't stop root.
    platform::fail_reads(path);
    store.write_number("Window", "LevelSL", 1);
    EXPECT_EQ(store.read_number("Window", "ActiveTab", 0), 0);
    platform::clear_file_faults();
    EXPECT_EQ(read_all(path), before);
    EXPECT_EQ(store.read_number("Window", "ActiveTab", 0), 5);
}

TEST_F(SettingsStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kValuesEach = 150;
    auto write_many = [&](const char* prefix, int32_t base) {
        SettingsStore own(path);
        for (int i = 0; i < kValuesEach; ++i) {
            own.write_number("Window", prefix + std::to_string(i), base + i);
            own.write_text("Settings", prefix + std::to_string(i), std::string(prefix) + " text " + std::to_string(i));
        }
    };
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        write_many("Child", 100000);
        ::_exit(0);
    }
    write_many("Parent", 200000);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    for (int i = 0; i < kValuesEach; ++i) {
        EXPECT_EQ(store.read_number("Window", "Child" + std::to_string(i), -1), 100000 + i);
        EXPECT_EQ(store.read_number("Window", "Parent" + std::to_string(i), -1), 200000 + i);
        EXPECT_EQ(store.read_text("Settings", "Child" + std::to_string(i), ""), "Child text " + std::to_string(i));
        EXPECT_EQ(store.read_text("Settings", "Parent" + std::to_string(i), ""), "Parent text " + std::to_string(i));
    }
    // Every line parses: a rewrite of the parsed file gives the same bytes, with each key once.
    std::string text = read_all(path);
    SettingsDocument document = SettingsDocument::parse(text);
    EXPECT_EQ(document.serialise(), text);
    EXPECT_EQ(document.key_paths().size(), 5u);
}

TEST_F(SettingsStoreTest, ThreadsWritingWhileOthersReadSeeWholeFiles) {
    store.write_text("Settings", "Language", "English");
    constexpr int kWriters = 3, kValuesEach = 60;
    std::atomic<bool> writing{true};
    std::atomic<int> torn_reads{0};
    std::thread reader([&] {
        while (writing) {
            if (store.read_text("Settings", "Language", "missing") != "English") ++torn_reads;
        }
    });
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&, w] {
            for (int i = 0; i < kValuesEach; ++i) store.write_number("Window", "W" + std::to_string(w) + "_" + std::to_string(i), i);
        });
    for (std::thread& writer : writers) writer.join();
    writing = false;
    reader.join();
    EXPECT_EQ(torn_reads, 0);
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kValuesEach; ++i)
            EXPECT_EQ(store.read_number("Window", "W" + std::to_string(w) + "_" + std::to_string(i), -1), i);
}

TEST(SettingsStorePath, EnvironmentChoosesTheFile) {
    auto remember = [](const char* name) {
        const char* value = std::getenv(name);
        return std::pair<std::string, bool>(value ? value : "", value != nullptr);
    };
    auto restore = [](const char* name, const std::pair<std::string, bool>& saved) {
        if (saved.second) ::setenv(name, saved.first.c_str(), 1);
        else ::unsetenv(name);
    };
    auto saved_store = remember(kSettingsFileVariable), saved_xdg = remember("XDG_CONFIG_HOME"), saved_home = remember("HOME");

    ::setenv("HOME", "/home/trader", 1);
    ::setenv(kSettingsFileVariable, "/tmp/elsewhere/settings", 1);
    EXPECT_EQ(SettingsStore::default_path(), "/tmp/elsewhere/settings");
    ::unsetenv(kSettingsFileVariable);
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(SettingsStore::default_path(), "/cfg/kestrelbay/settings");
    ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
    EXPECT_EQ(SettingsStore::default_path(), "/home/trader/.config/kestrelbay/settings");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsStore::default_path(), "/home/trader/.config/kestrelbay/settings");

    restore(kSettingsFileVariable, saved_store);
    restore("XDG_CONFIG_HOME", saved_xdg);
    restore("HOME", saved_home);
}

TEST(SettingsDocument, FirstOfDuplicateValuesCountsAndAWriteDropsTheRest) {
    SettingsDocument document = SettingsDocument::parse(
        "[K]\n\"A\"=dword:00000001\n\"a\"=dword:00000002\n[L]\n\"B\"=\"x\"\n[k]\n\"A\"=dword:00000003\n\"C\"=\"y\"\n");
    ASSERT_NE(document.find("K", "A"), nullptr);
    EXPECT_EQ(std::get<int32_t>(*document.find("K", "A")), 1);
    EXPECT_EQ(std::get<std::string>(*document.find("K", "C")), "y") << "a repeated header continues its key";
    document.set("K", "A", 9);
    EXPECT_EQ(document.serialise(), "[K]\n\"A\"=dword:00000009\n\"C\"=\"y\"\n\n[L]\n\"B\"=\"x\"\n");
}

}  // namespace
}  // namespace kb::core
