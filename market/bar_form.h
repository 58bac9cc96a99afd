#pragma once
#include <cstddef>
#include <cstdint>

namespace kb::market {

// Which of the two wire forms of bars (market/bar_record.h) a server sends: the 22-byte
// form with 16-bit differences or the 28-byte form with 32-bit ones. The terminal reads by
// these rules and the demo server writes by them. Pure functions, callable from any thread.

enum class BarForm { Narrow22, Wide28 };

// The kind of server a connection leads to.
enum class BarSource { TradeServer, HistoryServer };

// From these builds on a server sends bars in the 28-byte form: a trade server, and a
// separate history server.
inline constexpr uint16_t kTradeServerWideBarsBuild = 325;
inline constexpr uint16_t kHistoryServerWideBarsBuild = 326;
// Chart pushes (command 156) of the history server to a session's own connection are in
// the 28-byte form when the version its account data reports is above this one.
inline constexpr uint16_t kHistoryServerLastNarrowPushVersion = 325;

// The form of history synchronisation answers (command 9), by the build the server's login
// reply reported.
BarForm bar_form(BarSource source, int server_build);

// The form of chart pushes (command 156): a trade server's by its build as above, a history
// server's by the version its account data reported.
BarForm chart_push_form(BarSource source, int server_build, int account_data_version);

// The bytes of one bar in the form.
size_t wire_bar_size(BarForm form);

}  // namespace kb::market
