#pragma once

// The order in which locks may nest. A thread that holds a lock may take only locks of
// the rows below it (a larger rank); a lock with no row below it that it calls into is a
// leaf and calls out to nothing that locks. Every class that owns a lock names its row here
// in its header comment. No store lock is held across network I/O (the only locks held
// across it are the connection's own: a trade context's request, a socket's use count).
//
// Terminal
//
//   rank  lock                                        takes, while held
//   ----  ------------------------------------------  ------------------------------------
//    10   TradeContext control (control_lock_)        its thread lock, its request lock
//    11   TradeContext thread (thread_lock_)          -
//    12   TradeContext request (lock_)                trade base, journal, notifier
//    20   TradeBase                                   symbols base, journal
//    30   SymbolsBase                                 history centre (tick listener), journal
//    35   HistoryCenter synchronisation (thread_lock_)  history centre list
//    40   HistoryCenter list (lock_)                  history base, journal
//    50   HistoryBase                                 journal
//    60   TerminalConfig                              server list
//    70   ServerList                                  -
//    75   AccountsBase                                -
//    80   TradeStore range (session/)                 -
//    85   the session's placeholder stores            -
//    90   QtNotifier, TradeRequestRunner's relay      (queue a call to the UI thread only)
//    95   Journal                                     - (its echo must not write to it)
//
// The trade base is called only after the symbols base has released its lock: the symbols
// base reaches the trade base through nothing but the receive loop, outside its lock.
// The symbols base asks its SymbolUsage sources (the trade base, the history centre)
// before it takes its lock, and the history centre looks symbols up before it takes its
// list lock, so neither of those calls runs against the order.
//
// demo-server
//
//   rank  lock                                        takes, while held
//   ----  ------------------------------------------  ------------------------------------
//   110   SessionPool                                 peer limits, server log
//   120   Dealer deals (deal_lock_)                   quote feed engine, live settings,
//                                                     storage, server log
//   130   QuoteFeed engine (engine_lock_)             quote feed subscribers
//   131   QuoteFeed subscribers (subscribers_lock_)   each subscriber's queue (below)
//   140   BarHistory, Dealer queue (queue_lock_),     -
//         ClientSession queue (queue_lock_)
//   150   LiveSettings                                -  (storage is read before it is taken)
//   160   PeerLimits                                  -
//   170   Storage                                     -
//   180   ServerLog                                   -  (its sink must not log)
//
// Platform (leaves, used by both programs)
//
//   200   Event, ManualClock, the file fault table,   -
//         the machine's random generator
//   210   Socket use count (shared, held across I/O)  -
