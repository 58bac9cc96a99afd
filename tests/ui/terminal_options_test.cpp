#include <gtest/gtest.h>

#include <vector>

#include "ui/terminal_options.h"

namespace kb::ui {
namespace {

std::optional<TerminalOptions> parse(std::vector<const char*> args, std::string& error) {
    args.insert(args.begin(), "terminal");
    return parse_terminal_options(static_cast<int>(args.size()), args.data(), error);
}

TEST(TerminalOptions, ReadsTheHeadlessOptions) {
    std::string error;
    auto defaults = parse({}, error);
    ASSERT_TRUE(defaults);
    EXPECT_FALSE(defaults->echo_journal);
    EXPECT_TRUE(defaults->snapshot_path.empty());
    EXPECT_EQ(defaults->snapshot_interval_s, 3);

    auto all = parse({"--echo-journal", "--snapshot", "/tmp/a.png", "--snapshot-interval=7"}, error);
    ASSERT_TRUE(all);
    EXPECT_TRUE(all->echo_journal);
    EXPECT_EQ(all->snapshot_path, "/tmp/a.png");
    EXPECT_EQ(all->snapshot_interval_s, 7);

    auto joined = parse({"--snapshot=/tmp/b.png", "--snapshot-interval", "1"}, error);
    ASSERT_TRUE(joined);
    EXPECT_EQ(joined->snapshot_path, "/tmp/b.png");
    EXPECT_EQ(joined->snapshot_interval_s, 1);
}

TEST(TerminalOptions, ReadsTheLoginOptions) {
    std::string error;
    auto none = parse({}, error);
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->login);
    EXPECT_FALSE(none->echo_status);

    auto both = parse({"--login", "1001", "--server=127.0.0.1:4443", "--echo-status"}, error);
    ASSERT_TRUE(both) << error;
    EXPECT_EQ(both->login, 1001);
    EXPECT_EQ(both->server, "127.0.0.1:4443");
    EXPECT_TRUE(both->echo_status);

    auto login_only = parse({"--login=2147483647"}, error);
    ASSERT_TRUE(login_only) << error;
    EXPECT_EQ(login_only->login, 2147483647);
    EXPECT_TRUE(login_only->server.empty());
}

TEST(TerminalOptions, RejectsWhatItDoesNotKnow) {
    const std::vector<std::vector<const char*>> cases = {
        {"--bogus"},
        {"--snapshot"},
        {"--snapshot="},
        {"--snapshot-interval", "0"},
        {"--snapshot-interval", "3601"},
        {"--snapshot-interval", "2s"},
        {"--snapshot-interval", "-1"},
        {"--echo-journal=yes"},
        {"--echo-status=1"},
        {"--login", "0"},
        {"--login", "-3"},
        {"--login", "2147483648"},
        {"--login", "12ab"},
        {"--login"},
        {"--server", "127.0.0.1:4443"},
        {"--login", "5", "--server="},
        {"stray"},
    };
    for (const auto& args : cases) {
        std::string error;
        EXPECT_FALSE(parse(args, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

}  // namespace
}  // namespace kb::ui
