#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "market/bar_form.h"
#include "server/bar_history.h"

namespace kb::server {

enum class ServerRole;

// The kind of server a session of that role is to its client.
market::BarSource bar_source(ServerRole role);

// The bars in the form, oldest first. A bar whose differences don't fit 16 bits is left
// out of the narrow form (a client of such a server can't read it). Pure function.
std::vector<uint8_t> encode_bars(std::span<const PointBar> bars, market::BarForm form, int32_t& count);

}  // namespace kb::server
