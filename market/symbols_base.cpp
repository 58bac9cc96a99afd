#include "market/symbols_base.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include "core/journal.h"
#include "core/number_format.h"
#include "market/price_points.h"
#include "core/fixed_text.h"

namespace kb::market {

namespace {

constexpr const char* kDefaultServer = "default";
constexpr size_t kMaxServerName = 63;
constexpr int32_t kDefaultSelectionKeyLimit = 8000;
constexpr size_t kDefaultSelectionSize = 10;
constexpr int32_t kSelectAllKeyLimit = 1024;
constexpr size_t kFirstSelectionRoom = 20;
constexpr size_t kSelectionGrowth = 33;
constexpr size_t kLoadedSelectionSpare = 10;
constexpr int32_t kDirectionUp = 0;
constexpr int32_t kDirectionDown = 1;
constexpr int32_t kDirectionNone = 2;

// Where a selection allocation failed, as written in the journal line.
constexpr int kAddPlace = 1;
constexpr int kLoadPlace = 2;

// The server name names a folder: one that would leave "history" is not taken.
std::string server_or_default(std::string name) {
    if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos)
        return kDefaultServer;
    if (name.size() > kMaxServerName) name.resize(kMaxServerName);
    return name;
}

void force_text_terminators(SymbolRecord& symbol) {
    symbol.name[sizeof symbol.name - 1] = '\0';
    symbol.description[sizeof symbol.description - 1] = '\0';
    symbol.text[sizeof symbol.text - 1] = '\0';
    symbol.profit_currency[sizeof symbol.profit_currency - 1] = '\0';
}

void refresh_from_symbol(SelectedSymbol& entry, const SymbolRecord& symbol) {
    entry.digits = symbol.digits;
    entry.symbol_index = symbol.symbol_index;
    entry.group_index = symbol.group_index;
    entry.point = symbol.point;
    entry.symbol_value = symbol.selection_value;
}

bool contains(const std::vector<std::string>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

SymbolsBase::SymbolsBase(std::string program_folder, std::string server, core::Journal* journal,
                         TickListener* ticks)
    : program_folder_(std::move(program_folder)),
      journal_(journal),
      ticks_(ticks),
      server_(server_or_default(std::move(server))),
      files_(program_folder_, server_) {
    std::lock_guard guard(lock_);
    load_locked();
}

SymbolsBase::~SymbolsBase() { save(); }

void SymbolsBase::set_usage_sources(SymbolUsage* trades, SymbolUsage* charts) {
    trades_ = trades;
    charts_ = charts;
}

bool SymbolsBase::set_server(std::string name) {
    name = server_or_default(std::move(name));
    std::lock_guard guard(lock_);
    if (name == server_) return false;
    save_locked();
    server_ = std::move(name);
    files_ = SymbolFiles(program_folder_, server_);
    load_locked();
    return true;
}

std::string SymbolsBase::server() const {
    std::lock_guard guard(lock_);
    return server_;
}

net::Md5Digest SymbolsBase::symbols_digest() const {
    std::lock_guard guard(lock_);
    if (symbols_.empty()) return {};
    return net::md5({reinterpret_cast<const uint8_t*>(symbols_.data()), symbols_.size() * sizeof(SymbolRecord)});
}

net::Md5Digest SymbolsBase::groups_digest() const {
    std::lock_guard guard(lock_);
    return net::md5({reinterpret_cast<const uint8_t*>(groups_.data()), kSymbolGroupTableSize});
}

// ---- loading and saving ----

void SymbolsBase::load_locked() {
    groups_ = files_.read_groups();
    symbols_ = files_.read_symbols();
    symbols_changed_ = false;
    load_selection_locked();
}

void SymbolsBase::load_selection_locked() {
    selection_.clear();
    selection_changed_ = true;
    SelectionFileContent content = parse_selection_file(files_.read_selection_bytes());
    try {
        selection_.reserve(content.entries.size() + kLoadedSelectionSpare);
    } catch (const std::bad_alloc&) {
        if (journal_ != nullptr)
            journal_->write(core::Level::Error, "SymbolsBase: not enough memory for selected symbols [%d]", kLoadPlace);
        return;
    }
    for (SelectedSymbol entry : content.entries) {
        if (find_selected(core::field_text(entry.name)) != nullptr) continue;   // a damaged file may repeat a name
        const SymbolRecord* symbol = find_symbol(core::field_text(entry.name));
        if (symbol == nullptr) {
            if (content.form == SelectionForm::Current) symbols_changed_ = true;
            continue;
        }
        refresh_from_symbol(entry, *symbol);
        if (content.form == SelectionForm::Current) entry.updated = 1;
        selection_.push_back(entry);
    }
    if (content.form == SelectionForm::Older) save_selection_locked();
    build_default_selection_locked();
}

void SymbolsBase::save() {
    std::lock_guard guard(lock_);
    save_locked();
}

void SymbolsBase::save_locked() {
    save_symbols_locked();
    save_selection_locked();
}

void SymbolsBase::save_symbols_locked() {
    if (!symbols_changed_) return;
    files_.write_symbols(symbols_);
    files_.write_groups(groups_);
    symbols_changed_ = false;
}

void SymbolsBase::save_selection_locked() { files_.write_selection(selection_); }

// ---- symbols and groups from the server ----

void SymbolsBase::replace_symbols(std::span<const SymbolRecord> records) {
    std::lock_guard guard(lock_);
    symbols_changed_ = true;
    symbols_.assign(records.begin(), records.end());
    for (SymbolRecord& symbol : symbols_) force_text_terminators(symbol);
    sort_by_key_locked();
    refresh_entries_locked();
    if (!selection_.empty()) {
        std::stable_sort(symbols_.begin(), symbols_.end(), [](const SymbolRecord& a, const SymbolRecord& b) {
            if (a.group_index != b.group_index) return a.group_index < b.group_index;
            return core::field_text(a.name) < core::field_text(b.name);
        });
    }
    save_symbols_locked();
    build_default_selection_locked();
    save_selection_locked();
}

bool SymbolsBase::set_groups(std::span<const SymbolGroupRecord> records) {
    if (records.size() > groups_.size()) return false;
    std::lock_guard guard(lock_);
    if (records.size() < groups_.size()) groups_ = {};
    std::copy(records.begin(), records.end(), groups_.begin());
    symbols_changed_ = true;
    return true;
}

void SymbolsBase::update_symbols(std::span<const SymbolUpdateRecord> entries) {
    std::vector<SymbolRecord> received;
    for (const SymbolUpdateRecord& entry : entries) {
        if (entry.header.transaction_type != kUpdateTransaction) continue;
        received.push_back(entry.symbol);
        force_text_terminators(received.back());
    }
    std::lock_guard guard(lock_);
    for (SymbolRecord& symbol : symbols_) {
        auto match = std::find_if(received.begin(), received.end(), [&](const SymbolRecord& update) {
            return core::field_text(update.name) == core::field_text(symbol.name);
        });
        if (match != received.end()) symbol = *match;
    }
    apply_overrides_locked();
    for (SelectedSymbol& entry : selection_) {
        auto match = std::find_if(received.begin(), received.end(), [&](const SymbolRecord& update) {
            return update.symbol_index == entry.symbol_index;
        });
        if (match != received.end()) refresh_from_symbol(entry, *match);
    }
    sort_by_key_locked();
    symbols_changed_ = true;
    if (ticks_ != nullptr)
        for (const SymbolRecord& symbol : received) ticks_->on_symbol_updated(symbol);
}

void SymbolsBase::set_group_settings(const GroupRecord& record) {
    std::lock_guard guard(lock_);
    group_settings_ = record;
    apply_overrides_locked();
}

size_t SymbolsBase::apply_group_updates(std::span<const GroupUpdateRecord> entries, std::string_view account_group) {
    size_t applied = 0;
    for (const GroupUpdateRecord& entry : entries) {
        if (entry.header.transaction_type != kUpdateTransaction) continue;
        if (core::field_text(entry.group.name) != account_group) continue;
        set_group_settings(entry.group);
        ++applied;
    }
    return applied;
}

void SymbolsBase::apply_overrides_locked() {
    int32_t count = std::clamp(group_settings_.override_count, 0, kGroupOverrideCount);
    for (int32_t i = 0; i < count; ++i) {
        const GroupOverride& override = group_settings_.overrides[i];
        SymbolRecord* symbol = find_symbol(core::field_text(override.symbol));
        if (symbol == nullptr) continue;
        auto apply = [](double& target, double value) {
            if (value != kNotOverridden) target = value;
        };
        double value_1680 = symbol->override_value_1680;
        double value_1688 = symbol->override_value_1688;
        double margin_divider = symbol->margin_divider;
        apply(value_1680, override.value_1680);
        apply(value_1688, override.value_1688);
        apply(margin_divider, override.margin_divider);
        symbol->override_value_1680 = value_1680;
        symbol->override_value_1688 = value_1688;
        symbol->margin_divider = margin_divider;
    }
}

void SymbolsBase::sort_by_key_locked() {
    std::stable_sort(symbols_.begin(), symbols_.end(),
                     [](const SymbolRecord& a, const SymbolRecord& b) { return a.sort_key < b.sort_key; });
}

// ---- quotes ----

int32_t SymbolsBase::spread_difference(const SelectedSymbol& entry) const {
    if (entry.group_index < 0 || entry.group_index >= kSymbolGroupCount) return 0;
    return group_settings_.symbol_groups[entry.group_index].spread_difference;
}

void SymbolsBase::add_quotes(std::span<TickRecord> records) {
    std::lock_guard guard(lock_);
    for (auto it = records.rbegin(); it != records.rend(); ++it) process_quote_locked(*it);
}

void SymbolsBase::process_quote_locked(TickRecord& record) {
    const int32_t symbol_index = record.symbol_index;
    auto entry = std::find_if(selection_.begin(), selection_.end(),
                              [&](const SelectedSymbol& e) { return e.symbol_index == symbol_index; });
    if (entry == selection_.end()) return;

    const int digits = entry->digits;
    const int32_t difference = spread_difference(*entry);
    const double half = difference * entry->point * 0.5;
    const int32_t time = record.time;

    if (time == 0) {
        double high = price_from_points(record.high_points(), digits);
        double low = price_from_points(record.low_points(), digits);
        if (difference != 0) {
            high -= half;
            low -= half;
        }
        entry->high = core::normalize(high, digits);
        entry->low = core::normalize(low, digits);
        entry->updated = 1;
        return;
    }

    const double bid = core::normalize(record.bid, digits);
    const double ask = core::normalize(record.ask, digits);
    // A price that is not a number would spread into every view and margin figure.
    if (!std::isfinite(bid) || !std::isfinite(ask)) return;
    entry->raw_bid = bid;
    entry->raw_ask = ask;
    if (ticks_ != nullptr) ticks_->on_tick(record);

    double adjusted_bid = bid;
    double adjusted_ask = ask;
    if (difference != 0) {
        adjusted_bid = core::normalize(bid - half, digits);
        adjusted_ask = core::normalize(adjusted_bid + (ask - bid) + difference * entry->point, digits);
    }
    // The flag stays set until the user interface collects the entry, so a repeated quote
    // does not hide an earlier change.
    if (time != entry->time || adjusted_bid != entry->bid || adjusted_ask != entry->ask) entry->updated = 1;
    if (adjusted_bid != entry->bid) entry->direction = adjusted_bid < entry->bid ? kDirectionDown : kDirectionUp;

    record.bid = static_cast<float>(adjusted_bid);
    record.ask = static_cast<float>(adjusted_ask);
    entry->bid = adjusted_bid;
    entry->ask = adjusted_ask;
    entry->time = time;
    newest_quote_time_ = std::max(newest_quote_time_, time);

    if (!tick_history_.append(core::field_text(entry->name), time, adjusted_bid, adjusted_ask) && journal_ != nullptr)
        journal_->write(core::Level::Fault, "SymbolsBase: not enough memory for ticks [%d]",
                        static_cast<int>(TickHistory::kCapacity));
}

// ---- lookups ----

SymbolRecord* SymbolsBase::find_symbol(std::string_view name) {
    auto it = std::find_if(symbols_.begin(), symbols_.end(),
                           [&](const SymbolRecord& s) { return core::field_text(s.name) == name; });
    return it == symbols_.end() ? nullptr : &*it;
}

const SymbolRecord* SymbolsBase::find_symbol(std::string_view name) const {
    return const_cast<SymbolsBase*>(this)->find_symbol(name);
}

SelectedSymbol* SymbolsBase::find_selected(std::string_view name) {
    auto it = std::find_if(selection_.begin(), selection_.end(),
                           [&](const SelectedSymbol& e) { return core::field_text(e.name) == name; });
    return it == selection_.end() ? nullptr : &*it;
}

const SelectedSymbol* SymbolsBase::find_selected(std::string_view name) const {
    return const_cast<SymbolsBase*>(this)->find_selected(name);
}

std::optional<SymbolRecord> SymbolsBase::symbol_by_name(std::string_view name) const {
    std::lock_guard guard(lock_);
    const SymbolRecord* symbol = find_symbol(name);
    return symbol ? std::optional(*symbol) : std::nullopt;
}

std::optional<SymbolRecord> SymbolsBase::symbol_by_index(int32_t symbol_index) const {
    std::lock_guard guard(lock_);
    for (const SymbolRecord& symbol : symbols_)
        if (symbol.symbol_index == symbol_index) return symbol;
    return std::nullopt;
}

std::optional<SymbolRecord> SymbolsBase::symbol_at(size_t position) const {
    std::lock_guard guard(lock_);
    return position < symbols_.size() ? std::optional(symbols_[position]) : std::nullopt;
}

size_t SymbolsBase::symbol_count() const {
    std::lock_guard guard(lock_);
    return symbols_.size();
}

SymbolGroupRecord SymbolsBase::group_at(int position) const {
    std::lock_guard guard(lock_);
    return position >= 0 && position < kSymbolGroupCount ? groups_[position] : SymbolGroupRecord{};
}

// ---- the selection ----

void SymbolsBase::add_entry_locked(const SymbolRecord& symbol, Shown shown) {
    try {
        if (selection_.capacity() == 0) selection_.reserve(kFirstSelectionRoom);
        if (selection_.size() == selection_.capacity()) selection_.reserve(selection_.size() + kSelectionGrowth);
    } catch (const std::bad_alloc&) {
        if (journal_ != nullptr)
            journal_->write(core::Level::Error, "SymbolsBase: not enough memory for selected symbols [%d]", kAddPlace);
        return;
    }
    SelectedSymbol entry{};
    core::set_field_text(entry.name, core::field_text(symbol.name));
    refresh_from_symbol(entry, symbol);
    entry.shown = static_cast<int32_t>(shown);
    entry.direction = kDirectionNone;
    selection_.push_back(entry);
    selection_changed_ = true;
}

void SymbolsBase::refresh_entries_locked() {
    std::erase_if(selection_, [&](SelectedSymbol& entry) {
        const SymbolRecord* symbol = find_symbol(core::field_text(entry.name));
        if (symbol == nullptr) return true;
        refresh_from_symbol(entry, *symbol);
        return false;
    });
    selection_changed_ = true;
}

void SymbolsBase::build_default_selection_locked() {
    if (!selection_.empty()) return;
    int32_t previous_key = INT32_MIN;
    bool first = true;
    while (selection_.size() < kDefaultSelectionSize) {
        const SymbolRecord* next = nullptr;
        for (const SymbolRecord& symbol : symbols_) {
            if (symbol.sort_key >= kDefaultSelectionKeyLimit) continue;
            if (!first && symbol.sort_key <= previous_key) continue;
            if (next == nullptr || symbol.sort_key < next->sort_key) next = &symbol;
        }
        if (next == nullptr) break;
        size_t before = selection_.size();
        add_entry_locked(*next, Shown::Yes);
        if (selection_.size() == before) break;
        previous_key = next->sort_key;
        first = false;
    }
    selection_changed_ = true;
}

bool SymbolsBase::select(std::string_view name, Shown shown, Save save) {
    std::lock_guard guard(lock_);
    const SymbolRecord* symbol = find_symbol(name);
    if (symbol == nullptr) return false;
    if (SelectedSymbol* entry = find_selected(name)) {
        if (entry->shown == static_cast<int32_t>(shown)) return false;
        entry->shown = static_cast<int32_t>(shown);
    } else {
        size_t before = selection_.size();
        add_entry_locked(*symbol, shown);
        if (selection_.size() == before) return false;
    }
    if (save == Save::Yes) save_selection_locked();
    return true;
}

void SymbolsBase::select_all() {
    std::vector<std::string> names;
    {
        std::lock_guard guard(lock_);
        std::vector<const SymbolRecord*> ordered;
        for (const SymbolRecord& symbol : symbols_)
            if (symbol.sort_key >= 0 && symbol.sort_key < kSelectAllKeyLimit) ordered.push_back(&symbol);
        std::stable_sort(ordered.begin(), ordered.end(),
                         [](const SymbolRecord* a, const SymbolRecord* b) { return a->sort_key < b->sort_key; });
        for (const SymbolRecord* symbol : ordered) names.emplace_back(core::field_text(symbol->name));
    }
    for (const std::string& name : names) select(name, Shown::Yes, Save::No);
    save();
}

std::vector<std::string> SymbolsBase::names_in_use() {
    std::vector<std::string> names;
    for (SymbolUsage* source : {trades_, charts_}) {
        if (source == nullptr) continue;
        std::vector<std::string> used = source->symbols_in_use();
        names.insert(names.end(), used.begin(), used.end());
    }
    return names;
}

bool SymbolsBase::hide(size_t position) {
    std::vector<std::string> in_use = names_in_use();
    std::lock_guard guard(lock_);
    return hide_locked(position, in_use);
}

bool SymbolsBase::hide_symbol(std::string_view name) {
    std::vector<std::string> in_use = names_in_use();
    std::lock_guard guard(lock_);
    const SelectedSymbol* entry = find_selected(name);
    return entry != nullptr && hide_locked(static_cast<size_t>(entry - selection_.data()), in_use);
}

bool SymbolsBase::hide_locked(size_t position, const std::vector<std::string>& in_use) {
    if (position >= selection_.size()) return false;
    if (contains(in_use, core::field_text(selection_[position].name))) return false;
    selection_.erase(selection_.begin() + static_cast<ptrdiff_t>(position));
    selection_changed_ = true;
    save_selection_locked();
    return true;
}

void SymbolsBase::hide_all_not_in_use() {
    std::vector<std::string> in_use = names_in_use();
    std::lock_guard guard(lock_);
    std::erase_if(selection_, [&](SelectedSymbol& entry) {
        if (!contains(in_use, core::field_text(entry.name))) return true;
        entry.shown = static_cast<int32_t>(Shown::Yes);
        return false;
    });
    selection_changed_ = true;
    save_selection_locked();
}

void SymbolsBase::set_selection(std::span<const std::string> names) {
    std::lock_guard guard(lock_);
    selection_.clear();
    for (const std::string& name : names) {
        const SymbolRecord* symbol = find_symbol(name);
        if (symbol != nullptr && find_selected(name) == nullptr) add_entry_locked(*symbol, Shown::Yes);
    }
    selection_changed_ = true;
    save_selection_locked();
}

std::optional<SymbolPrices> SymbolsBase::ensure_selected(std::string_view name) {
    std::lock_guard guard(lock_);
    if (const SelectedSymbol* entry = find_selected(name))
        return SymbolPrices{entry->bid, entry->ask, entry->raw_bid, entry->raw_ask};
    const SymbolRecord* symbol = find_symbol(name);
    if (symbol == nullptr) return std::nullopt;
    add_entry_locked(*symbol, Shown::No);
    return SymbolPrices{};
}

std::optional<SymbolPrices> SymbolsBase::prices(std::string_view name) const {
    std::lock_guard guard(lock_);
    const SelectedSymbol* entry = find_selected(name);
    if (entry == nullptr) return std::nullopt;
    return SymbolPrices{entry->bid, entry->ask, entry->raw_bid, entry->raw_ask};
}

std::optional<SelectedSymbol> SymbolsBase::selected_at(size_t position) const {
    std::lock_guard guard(lock_);
    return position < selection_.size() ? std::optional(selection_[position]) : std::nullopt;
}

std::optional<SelectedSymbol> SymbolsBase::selected_by_name(std::string_view name) const {
    std::lock_guard guard(lock_);
    const SelectedSymbol* entry = find_selected(name);
    return entry ? std::optional(*entry) : std::nullopt;
}

size_t SymbolsBase::selected_count() const {
    std::lock_guard guard(lock_);
    return selection_.size();
}

size_t SymbolsBase::collect_updated(std::span<SelectedSymbol> out) {
    std::lock_guard guard(lock_);
    size_t limit = std::min(out.size(), kMaxCollected);
    size_t copied = 0;
    for (SelectedSymbol& entry : selection_) {
        if (copied == limit) break;
        if (entry.updated == 0) continue;
        entry.updated = 0;
        out[copied++] = entry;
    }
    return copied;
}

void SymbolsBase::mark_all_updated() {
    std::lock_guard guard(lock_);
    for (SelectedSymbol& entry : selection_) entry.updated = 1;
}

std::optional<std::vector<uint16_t>> SymbolsBase::subscription_list() {
    std::lock_guard guard(lock_);
    if (!selection_changed_) return std::nullopt;
    selection_changed_ = false;
    std::vector<uint16_t> indexes;
    for (const SelectedSymbol& entry : selection_) indexes.push_back(static_cast<uint16_t>(entry.symbol_index));
    if (indexes.empty()) indexes.push_back(kNoSubscription);
    std::sort(indexes.begin(), indexes.end());
    return indexes;
}

void SymbolsBase::request_subscription() {
    std::lock_guard guard(lock_);
    selection_changed_ = true;
}

std::vector<TickHistoryEntry> SymbolsBase::recent_ticks(std::string_view name) const {
    std::lock_guard guard(lock_);
    return tick_history_.recent(name);
}

bool SymbolsBase::take_ticks_added() {
    std::lock_guard guard(lock_);
    return tick_history_.take_added();
}

int32_t SymbolsBase::newest_quote_time() const {
    std::lock_guard guard(lock_);
    return newest_quote_time_;
}

}  // namespace kb::market
