#pragma once
// Helpers for the tests of the indicator framework and catalogue: blocks in and out as
// text, and a journal whose lines the test can read.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "chart/catalogue/indicator_factory.h"
#include "chart/framework/indicator.h"
#include "chart/framework/indicator_block.h"
#include "chart/framework/line_io.h"
#include "core/journal.h"
#include "platform/clock.h"
#include "tests/support/temp_folder.h"

namespace kb::chart::test {

// The block an indicator saves, lines joined by "\n".
inline std::string saved_block(const CInd& indicator) {
    std::string text;
    StringLineSink sink(text);
    indicator.save_block(sink);
    return text;
}

// Reads the block "name=<name>" + body (lines ending in "\n") + "</indicator>" as the chart
// does after a line "<indicator>"; null unless an indicator was created.
inline std::unique_ptr<CInd> read_block(std::string_view name, std::string_view body,
                                        core::Journal* journal = nullptr) {
    std::string text = "name=" + std::string(name) + "\n" + std::string(body) + "</indicator>\n";
    TextLineSource lines(text);
    return read_indicator_block(lines, journal).indicator;
}

// A new indicator of the class with the given key lines applied one by one.
inline std::unique_ptr<CInd> with_lines(std::string_view name, std::initializer_list<std::string_view> lines) {
    auto indicator = create_indicator(name);
    for (std::string_view line : lines) indicator->parse_line(line);
    indicator->rebuild_label();
    return indicator;
}

// A journal in a temporary folder whose lines (without their time) the test can read.
class JournalCapture {
public:
    JournalCapture() : journal_(folder_.path(), clock_) {
        journal_.set_echo([this](std::string_view line) {
            // "HH:MM:SS " comes first.
            lines_.emplace_back(line.size() > 9 ? line.substr(9) : line);
        });
    }
    core::Journal* journal() { return &journal_; }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    testing::TempFolder folder_;
    platform::ManualClock clock_;
    core::Journal journal_;
    std::vector<std::string> lines_;
};

}  // namespace kb::chart::test
