#include "core/journal.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "tests/support/temp_folder.h"

namespace kb::core {
namespace {

constexpr int64_t kDecember9At235958 = 1796860798;   // UTC, as the manual clock reads it
constexpr size_t kLineOverhead = 11;                 // "HH:MM:SS " and "\r\n"

std::string read_text(const std::string& path) {
    auto bytes = platform::read_file(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

class JournalTest : public ::testing::Test {
protected:
    JournalTest() : clock(kDecember9At235958), journal(folder.path(), clock) {
        platform::make_directory(folder.file("logs"));
    }

    std::string day_file(int day) const { return folder.file(day == 9 ? "logs/20261209.log" : "logs/20261210.log"); }

    testing::TempFolder folder;
    platform::ManualClock clock;
    Journal journal;
};

TEST_F(JournalTest, DayFileIsNamedAfterTheDateUnderLogs) {
    EXPECT_EQ(journal.day_file_path(2026, 1, 5), folder.path() + "/logs/20260105.log");
    EXPECT_EQ(journal.day_file_path(999, 12, 31), folder.path() + "/logs/09991231.log");
}

TEST_F(JournalTest, LinesReachTheFileOnlyAtCloseWithTimePrefixAndCrLf) {
    journal.write(Level::Info, "'%d': login to %s", 1234, "MainServer");
    journal.write(Level::Error, "%s", "second");
    EXPECT_FALSE(platform::file_exists(day_file(9)));
    journal.close();
    EXPECT_EQ(read_text(day_file(9)), "23:59:58 '1234': login to MainServer\r\n23:59:58 second\r\n");
}

TEST_F(JournalTest, LineAfterMidnightClosesThePreviousDayFileAndStartsANewOne) {
    journal.write(Level::Info, "before");
    clock.advance_ms(3000);
    journal.write(Level::Info, "after");
    EXPECT_EQ(read_text(day_file(9)), "23:59:58 before\r\n");
    EXPECT_FALSE(platform::file_exists(day_file(10)));
    journal.close();
    EXPECT_EQ(read_text(day_file(9)), "23:59:58 before\r\n");
    EXPECT_EQ(read_text(day_file(10)), "00:00:01 after\r\n");
}

TEST_F(JournalTest, FileLeftOpenByAFlushIsFinishedAtMidnight) {
    journal.write(Level::Info, "flushed");
    journal.flush();
    clock.advance_ms(2000);
    journal.write(Level::Info, "new day");
    journal.close();
    EXPECT_EQ(read_text(day_file(9)), "23:59:58 flushed\r\n");
    EXPECT_EQ(read_text(day_file(10)), "00:00:00 new day\r\n");
}

TEST_F(JournalTest, FlushAfterMidnightPutsEarlierLinesInTheirOwnDay) {
    journal.write(Level::Info, "late");
    clock.advance_ms(5000);
    journal.flush();
    EXPECT_EQ(read_text(day_file(9)), "23:59:58 late\r\n");
    EXPECT_TRUE(platform::file_exists(day_file(10)));
    EXPECT_EQ(read_text(day_file(10)), "");
}

TEST_F(JournalTest, FlushKeepsTheFileOpenAndLaterLinesAppend) {
    ASSERT_TRUE(platform::write_file_atomic(day_file(9), std::vector<uint8_t>{'o', 'l', 'd', '\r', '\n'}));
    journal.write(Level::Info, "one");
    journal.flush();
    EXPECT_EQ(read_text(day_file(9)), "old\r\n23:59:58 one\r\n");

    // The file stays open: a line flushed later follows it even after it was renamed.
    std::string moved = folder.file("logs/moved.log");
    ASSERT_EQ(std::rename(day_file(9).c_str(), moved.c_str()), 0);
    journal.write(Level::Info, "two");
    journal.flush();
    EXPECT_EQ(read_text(moved), "old\r\n23:59:58 one\r\n23:59:58 two\r\n");
}

TEST_F(JournalTest, CloseTwiceFlushesOnceAndLaterLinesAreIgnored) {
    journal.write(Level::Info, "only");
    journal.close();
    journal.close();
    journal.write(Level::Info, "too late");
    journal.flush();
    EXPECT_EQ(read_text(day_file(9)), "23:59:58 only\r\n");
}

TEST_F(JournalTest, MessageIsCutAtTheFormatBuffer) {
    std::string long_text(Journal::kFormatBufferSize + 5000, 'a');
    journal.write(Level::Info, "%s", long_text.c_str());
    journal.close();
    std::string written = read_text(day_file(9));
    EXPECT_EQ(written.size(), Journal::kFormatBufferSize - 1 + kLineOverhead);
    EXPECT_TRUE(written == "23:59:58 " + std::string(Journal::kFormatBufferSize - 1, 'a') + "\r\n");
}

TEST_F(JournalTest, EmptyMessageWritesNoLine) {
    journal.write(Level::Info, "%s", "");
    journal.close();
    EXPECT_FALSE(platform::file_exists(day_file(9)));

    Journal second(folder.path(), clock);
    second.write(Level::Info, "a");
    second.write(Level::Info, "%s", "");
    second.write(Level::Info, "%c", '\0');
    second.write(Level::Info, "b");
    second.close();
    EXPECT_EQ(read_text(day_file(9)), "23:59:58 a\r\n23:59:58 b\r\n");
}

// Lines whose total length brings the buffer to a given size; each line is at most the
// format buffer's worth of message.
std::vector<std::string> messages_filling(size_t total) {
    std::vector<std::string> messages;
    size_t count = total / (Journal::kFormatBufferSize - 1 + kLineOverhead) + 1;
    size_t text = total - count * kLineOverhead;
    for (size_t i = 0; i < count; ++i) {
        size_t share = text / count + (i < text % count ? 1 : 0);
        messages.push_back(std::string(share, static_cast<char>('a' + i)));
    }
    return messages;
}

TEST_F(JournalTest, BufferIsWrittenOutWhenALineWouldFillIt) {
    struct Case {
        size_t buffered;          // bytes the lines add up to
        bool last_line_waits;     // the file holds all lines but the last after they are written
    };
    const Case cases[] = {{Journal::kWriteBufferSize - 1, false}, {Journal::kWriteBufferSize, true}};
    for (const Case& c : cases) {
        testing::TempFolder run;
        platform::make_directory(run.file("logs"));
        Journal fresh(run.path(), clock);
        std::vector<std::string> messages = messages_filling(c.buffered);
        std::string expected;
        for (const std::string& message : messages) {
            fresh.write(Level::Info, "%s", message.c_str());
            expected += "23:59:58 " + message + "\r\n";
        }
        ASSERT_EQ(expected.size(), c.buffered);
        std::string path = run.file("logs/20261209.log");
        size_t last_line = messages.back().size() + kLineOverhead;
        if (c.last_line_waits) {
            std::string written = read_text(path);
            EXPECT_EQ(written.size(), expected.size() - last_line) << c.buffered;
            EXPECT_TRUE(expected.starts_with(written)) << c.buffered;
        } else {
            EXPECT_FALSE(platform::file_exists(path)) << c.buffered;
            fresh.write(Level::Info, "x");
            EXPECT_EQ(read_text(path).size(), expected.size()) << c.buffered;
            EXPECT_TRUE(read_text(path) == expected) << c.buffered;
        }
        fresh.close();
        std::string all_lines = c.last_line_waits ? expected : expected + "23:59:58 x\r\n";
        EXPECT_TRUE(read_text(path) == all_lines) << c.buffered;
    }
}

// True when text is a run of "23:59:58 <message>\r\n" lines; collects the messages.
bool split_lines(const std::string& text, std::vector<std::string>& messages) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos || text.compare(at, 9, "23:59:58 ") != 0) return false;
        messages.push_back(text.substr(at + 9, end - at - 9));
        at = end + 2;
    }
    return true;
}

TEST_F(JournalTest, LinesAreDroppedWhileLogsIsMissingAndArriveOnceItExists) {
    testing::TempFolder bare;
    Journal missing(bare.path(), clock);
    const int kEarly = 3000;   // well past one write buffer
    for (int i = 0; i < kEarly; ++i) missing.write(Level::Info, "early %d %s", i, std::string(40, 'e').c_str());
    missing.flush();
    ASSERT_TRUE(platform::make_directory(bare.file("logs")));
    for (int i = 0; i < 5; ++i) missing.write(Level::Info, "late %d", i);
    missing.close();

    std::vector<std::string> messages;
    ASSERT_TRUE(split_lines(read_text(bare.file("logs/20261209.log")), messages));
    ASSERT_GT(messages.size(), 5u);
    EXPECT_LT(messages.size(), kEarly + 5u);
    size_t kept = messages.size() - 5;
    for (size_t i = 0; i < kept; ++i) EXPECT_EQ(messages[i], "early " + std::to_string(i) + " " + std::string(40, 'e'));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(messages[kept + i], "late " + std::to_string(i));
}

TEST_F(JournalTest, ConcurrentWritersNeverInterleaveLines) {
    const int kThreads = 6, kLines = 3000;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([this, t] {
            for (int i = 0; i < kLines; ++i) {
                journal.write(Level::Info, "writer %d line %d %s", t, i, std::string(i % 97, 'a' + t).c_str());
                if (i % 500 == 0) journal.flush();
            }
        });
    }
    for (std::thread& writer : writers) writer.join();
    journal.close();

    std::vector<std::string> messages;
    ASSERT_TRUE(split_lines(read_text(day_file(9)), messages));
    ASSERT_EQ(messages.size(), size_t(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    for (const std::string& message : messages) {
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(message.c_str(), "writer %d line %d", &t, &i), 2) << message;
        ASSERT_TRUE(t >= 0 && t < kThreads) << message;
        EXPECT_EQ(i, next[t]++) << "lines of one writer keep their order";
        std::string expected = "writer " + std::to_string(t) + " line " + std::to_string(i) + " " +
                               std::string(i % 97, static_cast<char>('a' + t));
        ASSERT_EQ(message, expected);
    }
}

TEST_F(JournalTest, EchoReceivesEachLineWithoutLineEnd) {
    testing::TempFolder bare;   // no logs folder: the console still sees the line
    Journal console(bare.path(), clock);
    std::vector<std::string> echoed;
    console.set_echo([&](std::string_view line) { echoed.emplace_back(line); });
    console.write(Level::Info, "%s build %d started", "terminal", 400);
    console.write(Level::Info, "%s", "");
    console.set_echo({});
    console.write(Level::Info, "unseen");
    EXPECT_EQ(echoed, std::vector<std::string>{"23:59:58 terminal build 400 started"});
}

}  // namespace
}  // namespace kb::core
