#pragma once
#include "server/command_table.h"

namespace kb::server {

// 2: answered with 2.
HandlerResult handle_keep_alive(ClientSession& session);
// 13: answered with 13, then the connection closes.
HandlerResult handle_quit(ClientSession& session);

// ---- login data (trade server) ----
// 16: code 0, one byte, compressed block of the server information (protocol version, the
// trade server's access point, server name, company).
HandlerResult handle_server_information(ClientSession& session);
// 8 + 16-byte digest: code 1 when the digest is that of the current list (the client keeps
// its list), else code 0 and the compressed SymbolRecords.
HandlerResult handle_symbols(ClientSession& session);
// 10 + 16-byte digest: the same for the 2560-byte symbol group table.
HandlerResult handle_symbol_groups(ClientSession& session);
// 5 + 32-bit length (at most 128000) + bytes: stored with login, time and address; no
// reply. A longer length closes the connection.
HandlerResult handle_crash_log(ClientSession& session);
// 33: code 0, a 32-bit count (1..128) and 68-byte recipients (the enabled accounts of the
// same group); code 1 and nothing more when there is none.
HandlerResult handle_mail_recipients(ClientSession& session);
// 34 + start + end: code 0 and the compressed TradeRecords of the closed trades and balance
// operations closed in [start, end); code 3 for a range with start below 0 or not below end.
HandlerResult handle_account_history(ClientSession& session);
// 30 + 32-bit mode (0, 2 without news, 3 news on the history server): code 0 and the
// compressed account data followed by the open trades; the login data is then complete
// and news (mode 0 only) and mail pushes start. Code 3 for another mode.
HandlerResult handle_account_data(ClientSession& session);
// 15 + kind, version, build, company: code 0 with the configured newest version and build
// when they are newer than the client's, else code 1.
HandlerResult handle_update_query(ClientSession& session);

// ---- requests ----
// 150 + count + symbol indexes: quotes of those instruments are pushed from now on, the
// current prices at once.
HandlerResult handle_subscription(ClientSession& session);
// 156 + count + 22-byte requests: one chart answer (header and bars) per known symbol and
// period.
HandlerResult handle_chart_request(ClientSession& session);
// 157 + news id: 157, the id and the compressed body (empty for an unknown id).
HandlerResult handle_news_body(ClientSession& session);
// 9 + 32-byte request (history server): code 1 when the client's history is current, else
// code 0, the time sign and the compressed bars it lacks.
HandlerResult handle_history_sync(ClientSession& session);

// ---- trade channels ----
// 190 + the signed 96-byte request: refused (code 2, then closed) when its check value or
// trailer is wrong, with 133 on an investor login; else accepted (142), for orders by
// request in process (143) for the group's dealer delay, during which 191 with the id
// cancels it (144), then dealt: 0 with the done data, 138 with new prices, or the code.
// A cancel of any other id is read and left unanswered.
HandlerResult handle_trade_request(ClientSession& session);
// 191 + request id when no request is under way: read and left unanswered, since the
// request it names has ended and the channel reads nothing until its next request.
HandlerResult handle_trade_cancel(ClientSession& session);

}  // namespace kb::server
