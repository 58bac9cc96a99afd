#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "server/bar_history.h"
#include "server/server_config.h"

namespace kb::server {

enum class ServerRole;

// The two wire forms of bars: 22 bytes with 16-bit differences, 28 with 32-bit ones.
enum class BarForm { Narrow22, Wide28 };

// The form of history synchronisation answers (command 9): the client decides by the build
// the login reply reported, wide from build 325 on the trade server and from 326 on the
// history server.
BarForm bar_form(ServerRole role, int reported_build);
// The form of chart pushes (command 156): on the trade server as above; the history
// server's clients decide by the version its account data reports, wide above 325.
BarForm chart_push_form(ServerRole role, const ServerConfig& config);

// The bars in the form, oldest first. A bar whose differences don't fit 16 bits is left
// out of the narrow form (a client of such a server can't read it). Pure function.
std::vector<uint8_t> encode_bars(std::span<const PointBar> bars, BarForm form, int32_t& count);

}  // namespace kb::server
