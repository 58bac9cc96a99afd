// Any text as the object blocks of a chart profile: reading never fails, what an object
// writes reads back to the same block once the values the format cannot hold (rounding,
// cuts) have settled, and anchoring, hit-testing and dragging the objects on a few bars
// stay in range.
#include <cstdint>
#include <string>
#include <vector>

#include "chart/objects/object_block.h"
#include "chart/objects/object_editing.h"
#include "chart/objects/object_geometry.h"
#include "market/bar_record.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string written(const kb::chart::CObj& object) {
    std::string text;
    kb::chart::StringLineSink sink(text);
    object.write_block(sink);
    return text;
}

// The block as read back from its own written text, and written again.
std::string rewritten(const std::string& block) {
    if (block.empty()) return block;
    std::string body = block.substr(block.find('\n') + 1);   // after "<object>"
    kb::chart::TextLineSource lines(body);
    std::unique_ptr<kb::chart::CObj> read = kb::chart::read_object_block(lines, nullptr);
    kb::fuzzing::check(read != nullptr);
    return written(*read);
}

std::vector<kb::market::BarRecord> bars() {
    std::vector<kb::market::BarRecord> bars(50);
    for (std::size_t i = 0; i < bars.size(); ++i)
        bars[i] = {1796601600 + static_cast<int32_t>(i) * 3600, 1.2, 1.1, 1.3, 1.25, 1};
    return bars;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kb::chart;
    static const std::vector<kb::market::BarRecord> kBars = bars();
    const std::string text(reinterpret_cast<const char*>(data), size);
    TextLineSource lines(text);
    std::string line;
    int step = 0;
    while (lines.next_line(line)) {
        if (line != kObjectBlockStart) continue;
        std::unique_ptr<CObj> object = read_object_block(lines, nullptr);
        if (!object) continue;
        const std::string once = rewritten(written(*object));
        kb::fuzzing::check(rewritten(once) == once);

        for (int period : {1, 60, 1440, 10080, 43200}) {
            const BarTimeline timeline(kBars, period);
            for (int i = 0; i < kObjectAnchors; ++i) {
                const int position = timeline.position_of(object->time(i));
                kb::fuzzing::check(position >= INT32_MIN / 2 && position <= INT32_MAX / 2);
            }
            const ObjectView view{timeline, BarAxis{3, 8, 10}, PriceAxis{2, 202, 1.0, 2.0}, Rect{3, 2, 361, 202}, 96};
            const std::array<ScreenPoint, 3> points = handle_points(*object, view);
            for (const ScreenPoint& point : points) hit_object(*object, view, point.x, point.y, Selected::Yes);
            const Handle handle = static_cast<Handle>(step++ % 3);
            drag_handle(*object, timeline, handle, {step * 7 - 60, 1.5}, step % 2 ? Linked::Yes : Linked::No, 5);
        }
        // Dragged anchors are open times of the bars or their extrapolation.
        const std::string dragged = rewritten(written(*object));
        kb::fuzzing::check(rewritten(dragged) == dragged);
    }
    return 0;
}
