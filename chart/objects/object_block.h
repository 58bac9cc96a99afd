#pragma once
#include <memory>
#include <string_view>

#include "chart/framework/line_io.h"
#include "chart/objects/chart_object.h"

namespace kb::core {
class Journal;
}

namespace kb::chart {

inline constexpr std::string_view kObjectBlockStart = "<object>";
inline constexpr std::string_view kObjectBlockEnd = "</object>";

// A new object of a type with its class defaults and a new counter; null for a type
// without a class (only 2, 3, 4 and 12 have one).
std::unique_ptr<CObj> create_object(ObjectType type);
std::unique_ptr<CObj> create_object(int32_t type);

// Reads one object block; called after the line "<object>". The first line must begin
// with "type="; otherwise the journal (when given) gets "CObj: object header was not
// found" at error level, the block is skipped up to "</object>" and null returned. A type
// without a class skips the block silently. Otherwise the object reads the rest of the
// block and is returned.
std::unique_ptr<CObj> read_object_block(LineSource& lines, core::Journal* journal);

}  // namespace kb::chart
