#include "chart/objects/object_editing.h"

#include <array>
#include <cmath>

#include "core/number_format.h"

namespace kb::chart {
namespace {

// Moves anchor i by bars and price in the object's own fields.
struct Move {
    int bars = 0;
    double price = 0;
};

void move_anchor(CObj& object, const BarTimeline& timeline, int i, int from_position, Move move, int digits) {
    int32_t time = object.time(i);
    double value = object.value(i);
    if (object.anchor_use() != AnchorUse::Price) time = timeline.time_of(from_position + move.bars);
    if (object.anchor_use() != AnchorUse::Time) value = core::normalize(value + move.price, digits);
    object.set_anchor(i, time, value);
}

}  // namespace

bool drag_handle(CObj& object, const BarTimeline& timeline, Handle handle, BarPoint target, Linked linked,
                 int digits) {
    if (timeline.empty()) return false;
    const std::array<int, kObjectAnchors> at = object.positions(timeline);
    const double price = core::normalize(target.price, digits);
    if (object.anchor_count() == 1) {
        move_anchor(object, timeline, 0, at[0], {target.position - at[0], price - object.value(0)}, digits);
        return true;
    }
    if (handle == Handle::Middle) {
        const int middle = static_cast<int>(std::lround((static_cast<double>(at[0]) + at[1]) / 2.0));
        const Move move{target.position - middle, price - (object.value(0) + object.value(1)) / 2};
        move_anchor(object, timeline, 1, at[1], move, digits);
        move_anchor(object, timeline, 0, at[0], move, digits);
        return true;
    }
    const int dragged = handle == Handle::First ? 0 : 1;
    const int other = 1 - dragged;
    const Move move{target.position - at[dragged], price - object.value(dragged)};
    if (linked == Linked::Yes) move_anchor(object, timeline, other, at[other], move, digits);
    move_anchor(object, timeline, dragged, at[dragged], move, digits);
    return true;
}

}  // namespace kb::chart
