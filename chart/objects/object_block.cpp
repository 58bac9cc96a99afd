#include "chart/objects/object_block.h"

#include "chart/framework/key_lines.h"
#include "chart/objects/fibo.h"
#include "chart/objects/line_objects.h"
#include "chart/objects/object_counter.h"
#include "core/journal.h"

namespace kb::chart {
namespace {

std::unique_ptr<CObj> make_object(int32_t type) {
    switch (static_cast<ObjectType>(type)) {
    case ObjectType::VerticalLine: return std::make_unique<VerticalLine>();
    case ObjectType::HorizontalLine: return std::make_unique<HorizontalLine>();
    case ObjectType::Trendline: return std::make_unique<Trendline>();
    case ObjectType::Fibo: return std::make_unique<Fibo>();
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<CObj> create_object(int32_t type) {
    std::unique_ptr<CObj> object = make_object(type);
    if (object) object->set_counter(next_object_counter());
    return object;
}

std::unique_ptr<CObj> create_object(ObjectType type) { return create_object(static_cast<int32_t>(type)); }

std::unique_ptr<CObj> read_object_block(LineSource& lines, core::Journal* journal) {
    std::string line;
    if (!lines.next_line(line)) return nullptr;
    int type = 0;
    if (!read_integer_key(line, "type=", type)) {
        if (journal) journal->write(core::Level::Error, "CObj: object header was not found");
        if (line != kObjectBlockEnd) skip_block(lines, kObjectBlockEnd);
        return nullptr;
    }
    std::unique_ptr<CObj> object = create_object(type);
    if (!object) {
        skip_block(lines, kObjectBlockEnd);
        return nullptr;
    }
    object->read_block(lines);
    return object;
}

}  // namespace kb::chart
