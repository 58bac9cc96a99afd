#pragma once
// Helpers for the tests of chart objects: blocks in and out as text.

#include <memory>
#include <string>
#include <string_view>

#include "chart/framework/line_io.h"
#include "chart/objects/chart_object.h"
#include "chart/objects/object_block.h"

namespace kb::chart::test {

// The block an object writes, lines joined by "\n" (empty when it writes none).
inline std::string written_block(const CObj& object) {
    std::string text;
    StringLineSink sink(text);
    object.write_block(sink);
    return text;
}

// Reads a whole "<object>...</object>\n" text as the indicator block reader does after
// its line "<object>"; null unless an object was made.
inline std::unique_ptr<CObj> read_block_text(std::string_view block, core::Journal* journal = nullptr) {
    std::string_view body = block;
    if (body.substr(0, kObjectBlockStart.size() + 1) == "<object>\n") body.remove_prefix(kObjectBlockStart.size() + 1);
    TextLineSource lines(body);
    return read_object_block(lines, journal);
}

}  // namespace kb::chart::test
