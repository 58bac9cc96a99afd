#include "chart/framework/line_io.h"

namespace kb::chart {

bool TextLineSource::next_line(std::string& line) {
    while (!text_.empty()) {
        const size_t end = text_.find('\n');
        std::string_view raw = text_.substr(0, end);
        text_.remove_prefix(end == std::string_view::npos ? text_.size() : end + 1);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        if (raw.empty()) continue;
        line.assign(raw.substr(0, max_line_bytes_));
        return true;
    }
    return false;
}

void skip_block(LineSource& lines, std::string_view end_line) {
    std::string line;
    while (lines.next_line(line))
        if (line == end_line) return;
}

}  // namespace kb::chart
