#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "market/market_listeners.h"
#include "market/symbol_files.h"
#include "market/symbol_record.h"
#include "market/tick_history.h"
#include "net/digest.h"

namespace kb::core {
class Journal;
}

namespace kb::market {

enum class Shown : int32_t { No = 0, Yes = 1 };
enum class Save { No, Yes };

// The index sent alone when nothing is selected, so the server stops all quotes.
inline constexpr uint16_t kNoSubscription = 0x7FFF;

struct SymbolPrices {
    double bid = 0;
    double ask = 0;
    double raw_bid = 0;
    double raw_ask = 0;
};

// Keeps the trade server's instruments, the symbol groups, the account group's settings,
// the user's Market Watch selection with its latest prices and a buffer of recent ticks,
// and the per-server files that hold them.
// Thread-safe: every operation takes the base's one lock and hands out copies. The tick
// listener (history centre) is called under that lock; the symbol-usage sources are asked
// before it is taken. The trade base is not called from here: the caller passes the
// adjusted quotes on after add_quotes() returns. Lock order: core/lock_order.h.
class SymbolsBase {
public:
    // Loads the symbols, groups and selection of the server (empty name, or one that
    // can't name a folder: "default")
    // from "<program folder>/history/<server>/". journal and ticks may be null.
    SymbolsBase(std::string program_folder, std::string server, core::Journal* journal, TickListener* ticks);
    // Saves the symbols and groups (when changed) and the selection.
    ~SymbolsBase();
    SymbolsBase(const SymbolsBase&) = delete;
    SymbolsBase& operator=(const SymbolsBase&) = delete;

    // The stores asked which symbols are in use before the hide operations; either may
    // be null. Set once, before other threads use the base.
    void set_usage_sources(SymbolUsage* trades, SymbolUsage* charts);

    // Switches to another server's folder: saves what belongs to the old one, loads the
    // new one's files. False when the name is the current one.
    bool set_server(std::string name);
    std::string server() const;

    // MD5 of the stored symbol array (16 zero bytes without symbols) and of the group
    // table, sent with commands 8 and 10.
    net::Md5Digest symbols_digest() const;
    net::Md5Digest groups_digest() const;

    // Replaces the instrument list received at login (command 8). Selection entries whose
    // symbol is gone are dropped; the files are written before it returns.
    void replace_symbols(std::span<const SymbolRecord> records);
    // Applies the groups of command 10; false (nothing changes) for more than 32. Fewer
    // than 32 clear the rest of the table.
    bool set_groups(std::span<const SymbolGroupRecord> records);
    // Symbol updates (command 154): only entries of type 2 naming a stored symbol change
    // it. The caller then revalues trades and tells the user interface.
    void update_symbols(std::span<const SymbolUpdateRecord> entries);
    // The account group's settings (command 171); the per-symbol overrides are applied.
    void set_group_settings(const GroupRecord& record);
    // Picks from a command 171 block the entries of type 2 for the account's group and
    // applies them. Returns how many were applied.
    size_t apply_group_updates(std::span<const GroupUpdateRecord> entries, std::string_view account_group);

    // Quotes (command 151), last record first. Records of selected symbols are passed to
    // the tick listener as received, then their bid and ask are replaced by the prices
    // after the spread difference, which the caller hands to the trade base. Quotes whose
    // price is not a finite number are ignored.
    void add_quotes(std::span<TickRecord> records);

    std::optional<SymbolRecord> symbol_by_name(std::string_view name) const;
    std::optional<SymbolRecord> symbol_by_index(int32_t symbol_index) const;
    std::optional<SymbolRecord> symbol_at(size_t position) const;
    size_t symbol_count() const;
    // All zero for a position outside 0..31.
    SymbolGroupRecord group_at(int position) const;

    // Adds a symbol to the selection or sets its shown flag. False when no symbol has the
    // name or the flag already has that value. Save::Yes writes symbols.sel.
    bool select(std::string_view name, Shown shown, Save save);
    // Selects every symbol with a sort key 0..1023, in key order, and saves.
    void select_all();
    // Removes one entry unless an open trade or chart uses its symbol; saves. False when
    // the position is out of range or the symbol is in use.
    bool hide(size_t position);
    // The same for the entry of a symbol; false too when it is not selected.
    bool hide_symbol(std::string_view name);
    // Removes every entry no trade or chart uses; the used ones become shown. Saves.
    void hide_all_not_in_use();
    // Replaces the selection by the known symbols among names, shown; saves.
    void set_selection(std::span<const std::string> names);
    // The prices of a selected symbol; an unselected known symbol is added unshown and
    // gives zeros. Nothing for an unknown name.
    std::optional<SymbolPrices> ensure_selected(std::string_view name);

    std::optional<SymbolPrices> prices(std::string_view name) const;
    std::optional<SelectedSymbol> selected_at(size_t position) const;
    std::optional<SelectedSymbol> selected_by_name(std::string_view name) const;
    size_t selected_count() const;

    static constexpr size_t kMaxCollected = 32;
    // Copies up to min(out.size(), 32) entries whose updated flag is set and clears the
    // flag. Returns how many were copied.
    size_t collect_updated(std::span<SelectedSymbol> out);
    void mark_all_updated();

    // When the selection changed since the last call: the symbol indexes of all entries in
    // ascending order (the single kNoSubscription for an empty selection), for command
    // 150. Nothing when unchanged.
    std::optional<std::vector<uint16_t>> subscription_list();
    // Makes the next subscription_list() return the list even when the selection is
    // unchanged: a new connection knows nothing of the last one's subscription.
    void request_subscription();

    // Up to two newest ticks of the symbol, newest first.
    std::vector<TickHistoryEntry> recent_ticks(std::string_view name) const;
    // True when ticks were stored since the last call.
    bool take_ticks_added();
    int32_t newest_quote_time() const;

    // Writes the selection, and the symbols and groups when changed.
    void save();

private:
    SymbolRecord* find_symbol(std::string_view name);
    const SymbolRecord* find_symbol(std::string_view name) const;
    SelectedSymbol* find_selected(std::string_view name);
    const SelectedSymbol* find_selected(std::string_view name) const;
    int32_t spread_difference(const SelectedSymbol& entry) const;

    void load_locked();
    void load_selection_locked();
    void save_locked();
    void save_symbols_locked();
    void save_selection_locked();
    bool hide_locked(size_t position, const std::vector<std::string>& in_use);
    void add_entry_locked(const SymbolRecord& symbol, Shown shown);
    void refresh_entries_locked();
    void build_default_selection_locked();
    void apply_overrides_locked();
    void sort_by_key_locked();
    void process_quote_locked(TickRecord& record);
    std::vector<std::string> names_in_use();

    mutable std::mutex lock_;
    const std::string program_folder_;
    core::Journal* const journal_;
    TickListener* const ticks_;
    SymbolUsage* trades_ = nullptr;
    SymbolUsage* charts_ = nullptr;

    std::string server_;
    SymbolFiles files_;
    std::vector<SymbolRecord> symbols_;
    SymbolGroupTable groups_{};
    bool symbols_changed_ = false;
    std::vector<SelectedSymbol> selection_;
    bool selection_changed_ = false;
    int32_t newest_quote_time_ = 0;
    TickHistory tick_history_;
    GroupRecord group_settings_{};
};

}  // namespace kb::market
