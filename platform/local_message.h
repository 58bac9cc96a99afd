#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/byte_order.h"

namespace kb::platform {

#pragma pack(push, 1)
// The one record exchanged over the program's local sockets: a question (code, value)
// and its answer in the same shape. Both fields are little-endian 32-bit integers.
struct LocalMessage {
    int32_t code;
    int32_t value;
};
#pragma pack(pop)

static_assert(sizeof(LocalMessage) == 8);
static_assert(offsetof(LocalMessage, code) == 0);
static_assert(offsetof(LocalMessage, value) == 4);

}  // namespace kb::platform
