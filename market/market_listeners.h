#pragma once
#include <string>
#include <vector>

#include "market/symbol_record.h"

namespace kb::market {

// What the symbols base tells the history centre. Called on the thread that feeds the
// symbols base, while the symbols base holds its lock: an implementation must never wait
// for the symbols base.
class TickListener {
public:
    virtual ~TickListener() = default;
    // A quote of a selected symbol, exactly as received (before the spread difference).
    virtual void on_tick(const TickRecord& tick) = 0;
    // A symbol the server changed (command 154); open histories of that name refresh
    // their copy.
    virtual void on_symbol_updated(const SymbolRecord& symbol) = 0;
};

// A store that may keep a symbol in use (open trades, chart histories). Asked before the
// symbols base takes its lock, so it may take its own.
class SymbolUsage {
public:
    virtual ~SymbolUsage() = default;
    virtual std::vector<std::string> symbols_in_use() = 0;
};

}  // namespace kb::market
