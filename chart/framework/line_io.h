#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace kb::chart {

// Where the readers of the chart profile's blocks take their lines from. The chart's
// profile reader implements it over the file's text, so that one profile is read by one
// reader whose line rules (line ends, long lines, empty lines) hold for every block.
// Not thread-safe: one reader at a time.
class LineSource {
public:
    virtual ~LineSource() = default;
    // Puts the next line, without its line end, into line. False at the end of the text.
    virtual bool next_line(std::string& line) = 0;
};

// Where the writers of the profile's blocks put their lines; the sink adds the line end.
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual void write_line(std::string_view line) = 0;
};

// Reads lines up to and including end_line (or the end of the text).
void skip_block(LineSource& lines, std::string_view end_line);

// The lines of a text held in memory: each line ends at "\n", a "\r" before it is dropped,
// empty lines are skipped and a line longer than max_line_bytes is cut to that length.
// The text must outlive the source.
class TextLineSource final : public LineSource {
public:
    static constexpr std::size_t kDefaultMaxLineBytes = 1023;
    explicit TextLineSource(std::string_view text, std::size_t max_line_bytes = kDefaultMaxLineBytes)
        : text_(text), max_line_bytes_(max_line_bytes) {}
    bool next_line(std::string& line) override;

private:
    std::string_view text_;
    std::size_t max_line_bytes_;
};

// Appends each line and a "\n" to a string the caller owns.
class StringLineSink final : public LineSink {
public:
    explicit StringLineSink(std::string& text) : text_(text) {}
    void write_line(std::string_view line) override {
        text_.append(line);
        text_.push_back('\n');
    }

private:
    std::string& text_;
};

}  // namespace kb::chart
