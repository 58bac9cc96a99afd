#include "market/history_base.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include "core/debug_assert.h"
#include "core/journal.h"
#include "core/number_format.h"
#include "market/bar_repair.h"
#include "market/quote_hours.h"
#include "core/fixed_text.h"
#include "platform/files.h"
#include "platform/random_access_file.h"

namespace kb::market {

namespace {

using platform::RandomAccessFile;

constexpr const char* kDefaultServer = "default";
constexpr int kPeriods[] = {1, 5, 15, 30, 60, 240, 1440, 10080, 43200};
constexpr int kDay = 1440;
constexpr int kWeek = 10080;
constexpr int kMonth = 43200;
constexpr size_t kHeaderSize = sizeof(HistoryFileHeader);
constexpr size_t kBarSize = sizeof(BarRecord);
constexpr size_t kLoadSpare = 128;        // capacity beyond the loaded bars
constexpr size_t kLoadSlack = 130;        // allocated beyond the loaded bars
constexpr size_t kGrowth = 512;
constexpr size_t kGrowthSlack = 520;
constexpr size_t kShed = 128;
constexpr size_t kChartSpare = 256;
constexpr size_t kTrimBlock = 65536;
constexpr int64_t kVersionStepLoad = 100;

int period_index_of(int period) {
    for (int i = 0; i < static_cast<int>(std::size(kPeriods)); ++i)
        if (kPeriods[i] == period) return i;
    return -1;
}

int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

bool valid_file_name(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string_view::npos;
}

std::span<uint8_t> bytes_of(void* data, size_t size) { return {static_cast<uint8_t*>(data), size}; }

bool read_header(RandomAccessFile& file, HistoryFileHeader& header) {
    return file.read_at(0, bytes_of(&header, sizeof header));
}

bool header_names(const HistoryFileHeader& header, std::string_view symbol, int period) {
    return header.version == kHistoryFileVersion && core::field_text(header.symbol) == symbol && header.period == period;
}

int64_t bar_offset(int64_t position) {
    return static_cast<int64_t>(kHeaderSize) + position * static_cast<int64_t>(kBarSize);
}

int32_t bar_time_at(RandomAccessFile& file, int64_t position, bool& ok) {
    int32_t time = 0;
    ok = ok && file.read_at(bar_offset(position), bytes_of(&time, sizeof time));
    return time;
}

}  // namespace

// Invariants of a history base, true whenever its lock is free (asserted in debug builds
// where the bars change):
//  1. The bars are in strictly ascending open time: a load repairs and sorts them, an
//     import merges in order, and a tick opens a new bar only after the newest one.
//  2. There are never more bars than the capacity: the capacity is the room the growth
//     steps have promised, and a tick sheds or grows before it adds a bar.
namespace {

[[maybe_unused]] bool ascending(std::span<const BarRecord> bars) {
    return std::adjacent_find(bars.begin(), bars.end(), [](const BarRecord& a, const BarRecord& b) {
               return a.time >= b.time;
           }) == bars.end();
}

}  // namespace

bool HistoryBase::is_standard_period(int period) { return period_index_of(period) >= 0; }

std::unique_ptr<HistoryBase> HistoryBase::create(const SymbolRecord& symbol, int period, Offline offline,
                                                 HistorySettings settings, core::Journal* journal) {
    if (period < 1 || period > kMaxPeriod || !valid_file_name(core::field_text(symbol.name))) return nullptr;
    if (!valid_file_name(settings.server) && !settings.server.empty()) return nullptr;
    std::unique_ptr<HistoryBase> base(new HistoryBase(symbol, period, offline, std::move(settings), journal));
    base->load();
    return base;
}

HistoryBase::HistoryBase(const SymbolRecord& symbol, int period, Offline offline, HistorySettings settings,
                         core::Journal* journal)
    : journal_(journal),
      program_folder_(std::move(settings.program_folder)),
      server_(settings.server.empty() ? kDefaultServer : std::move(settings.server)),
      symbol_(symbol),
      name_(core::field_text(symbol.name)),
      digits_(symbol.digits),
      period_(period),
      period_index_(period_index_of(period)),
      offline_(offline == Offline::Yes),
      max_bars_in_memory_(settings.max_bars_in_memory),
      max_bars_in_file_(settings.max_bars_in_file) {}

HistoryBase::~HistoryBase() {
    if (!offline_) save();
}

std::string HistoryBase::server_folder(const std::string& server) const {
    return platform::join_path(platform::join_path(program_folder_, "history"), server);
}

std::string HistoryBase::own_path_locked() const {
    return platform::join_path(server_folder(server_), name_ + std::to_string(period_) + ".hst");
}

std::string HistoryBase::file_path() const {
    std::lock_guard guard(lock_);
    return own_path_locked();
}

// ---- load ----

void HistoryBase::load() {
    std::lock_guard guard(lock_);
    load_locked();
}

void HistoryBase::load_locked() {
    // Every load replaces what charts hold, also when it ends empty.
    version_ += kVersionStepLoad;
    bars_.clear();
    bars_.shrink_to_fit();
    capacity_ = 0;
    modified_ = false;
    last_bid_ = last_ask_ = 0;
    last_tick_time_ = 0;
    time_sign_ = 0;
    last_sync_ = 0;
    file_repaired_ = false;
    file_prefix_bars_ = 0;

    std::string path = own_path_locked();
    RandomAccessFile file;
    if (!file.open(path, RandomAccessFile::Mode::ReadOnly)) {
        path = platform::join_path(server_folder(kDefaultServer), name_ + std::to_string(period_) + ".hst");
        if (!file.open(path, RandomAccessFile::Mode::ReadOnly)) return;
    }
    HistoryFileHeader header{};
    if (!read_header(file, header) || header.version != kHistoryFileVersion) {
        file.close();
        platform::remove_file(path);
        if (journal_ != nullptr)
            journal_->write(core::Level::Fault, "HistoryBase: invalid database header for '%s%d'", name_.c_str(), period_);
        return;
    }
    if (core::field_text(header.symbol) != name_ || header.period != period_) {
        if (journal_ != nullptr) {
            std::string header_symbol(core::field_text(header.symbol));
            journal_->write(core::Level::Fault, "HistoryBase: database '%s%d' instead '%s%d'", header_symbol.c_str(),
                            static_cast<int>(header.period), name_.c_str(), period_);
        }
        return;
    }
    time_sign_ = header.time_sign;
    const int64_t size = file.size();
    const size_t total = size > static_cast<int64_t>(kHeaderSize) ? static_cast<size_t>(size - kHeaderSize) / kBarSize : 0;
    const size_t count = std::min(total, max_bars_in_memory_);
    try {
        bars_.reserve(count + kLoadSlack);
    } catch (const std::bad_alloc&) {
        if (journal_ != nullptr)
            journal_->write(core::Level::Fault, "HistoryBase: not enough memory for '%s%d'", name_.c_str(), period_);
        return;
    }
    bars_.resize(count);
    const int64_t first = static_cast<int64_t>(kHeaderSize + (total - count) * kBarSize);
    if (count > 0 && !file.read_at(first, bytes_of(bars_.data(), count * kBarSize))) {
        bars_.clear();
        if (journal_ != nullptr)
            journal_->write(core::Level::Error, "HistoryBase: error reading '%s%d'", name_.c_str(), period_);
        return;
    }
    file.close();
    capacity_ = count + kLoadSpare;
    if (header.digits >= 0) digits_ = header.digits;
    last_sync_ = header.last_sync;

    file_prefix_bars_ = total - count;
    const int errors = check_and_repair(bars_);
    file_repaired_ = errors > 0;
    if (errors >= 2) {
        modified_ = true;
        if (journal_ != nullptr)
            journal_->write(core::Level::Error, "HistoryBase: %d errors in '%s%d'", errors, name_.c_str(), period_);
        save_locked();
    }
    // A trim keeps the newest bars of the file, by position.
    if (trim_file_locked()) file_prefix_bars_ = max_bars_in_file_ > count ? max_bars_in_file_ - count : 0;

    oldest_covered_time_ = bars_.empty() ? 0 : bars_.front().time;
    last_tick_time_ = bars_.empty() ? 0 : bars_.back().time;
    KB_DEBUG_ASSERT(ascending(bars_), "1. history bars ascend after a load");
    KB_DEBUG_ASSERT(bars_.size() <= capacity_, "2. history bars within capacity after a load");
}

void HistoryBase::set_server(std::string server) {
    std::lock_guard guard(lock_);
    if (modified_) save_locked();
    server_ = server.empty() || !valid_file_name(server) ? kDefaultServer : std::move(server);
    hidden_ = 0;
    load_locked();
}

void HistoryBase::load_all() {
    std::lock_guard guard(lock_);
    if (modified_) save_locked();
    const size_t before = bars_.size();
    max_bars_in_memory_ = kLoadAllBars;
    load_locked();
    hidden_ = bars_.size() > before ? bars_.size() - before : 0;
}

// ---- save and trim ----

HistoryFileHeader HistoryBase::header_locked() const {
    HistoryFileHeader header{};
    header.version = kHistoryFileVersion;
    core::set_field_text(header.notice, kHistoryNotice);
    core::set_field_text(header.symbol, name_);
    header.period = period_;
    header.digits = digits_;
    header.time_sign = time_sign_;
    header.last_sync = last_sync_;
    return header;
}

bool HistoryBase::save() {
    std::lock_guard guard(lock_);
    return save_locked();
}

namespace {

constexpr int64_t kBlockBars = static_cast<int64_t>(kTrimBlock / kBarSize);

// Copies count bars of the file from position on to the end of out, in blocks.
bool copy_file_bars(RandomAccessFile& file, int64_t position, int64_t count, platform::ReplacementFile& out) {
    std::vector<uint8_t> block;
    for (int64_t done = 0; done < count;) {
        const int64_t n = std::min(kBlockBars, count - done);
        block.resize(static_cast<size_t>(n) * kBarSize);
        if (!file.read_at(bar_offset(position + done), block) || !out.write(block)) return false;
        done += n;
    }
    return true;
}

// Whether the file holds bars, byte for byte, from position on; ok turns false when a
// read fails.
bool file_bars_equal(RandomAccessFile& file, int64_t position, std::span<const BarRecord> bars, bool& ok) {
    std::vector<BarRecord> block;
    for (size_t done = 0; ok && done < bars.size();) {
        const size_t n = std::min(static_cast<size_t>(kBlockBars), bars.size() - done);
        block.resize(n);
        ok = file.read_at(bar_offset(position + static_cast<int64_t>(done)), bytes_of(block.data(), n * kBarSize));
        if (ok && std::memcmp(block.data(), bars.data() + done, n * kBarSize) != 0) return false;
        done += n;
    }
    return ok;
}

}  // namespace

bool HistoryBase::save_locked() {
    if (!modified_ || bars_.empty()) return true;
    if (write_file_locked()) {
        modified_ = false;
        save_failed_ = false;
        file_repaired_ = false;
        return true;
    }
    // Once per failing stretch: every later save of a full disk would repeat it.
    if (!save_failed_ && journal_ != nullptr)
        journal_->write(core::Level::Error, "HistoryBase: error writing '%s%d'", name_.c_str(), period_);
    save_failed_ = true;
    return false;
}

// The header, the file's bars older than the memory window (first_bars of them) and the
// bars in memory, into a new file that replaces the old one whole.
bool HistoryBase::replace_file_locked(const std::string& path, RandomAccessFile* file, int64_t first_bars) {
    platform::ReplacementFile out(path);
    HistoryFileHeader header = header_locked();
    if (!out.write(bytes_of(&header, sizeof header))) return false;
    if (file != nullptr && !copy_file_bars(*file, 0, first_bars, out)) return false;
    return out.write(bytes_of(bars_.data(), bars_.size() * kBarSize)) && out.commit();
}

bool HistoryBase::write_file_locked() {
    platform::make_directory(platform::join_path(program_folder_, "history"));
    platform::make_directory(server_folder(server_));
    const std::string path = own_path_locked();
    if (!platform::file_exists(path)) return replace_file_locked(path, nullptr, 0);

    RandomAccessFile file;
    // A file that is there but can't be written is kept as it is.
    if (!file.open(path, RandomAccessFile::Mode::Update)) return false;
    HistoryFileHeader existing{};
    // A file that holds another history is replaced whole.
    if (!read_header(file, existing) || !header_names(existing, name_, period_))
        return replace_file_locked(path, nullptr, 0);
    const int64_t size = file.size();
    const int64_t file_bars = size > static_cast<int64_t>(kHeaderSize) ? (size - static_cast<int64_t>(kHeaderSize)) / static_cast<int64_t>(kBarSize) : 0;
    // Bars the repair deleted or moved may lie anywhere in a repaired file: a search by time
    // could keep them before the bars written, and the next load would bring them back.
    if (file_repaired_)
        return replace_file_locked(path, &file, std::min(static_cast<int64_t>(file_prefix_bars_), file_bars));
    // The first bar of the file not older than the first bar in memory.
    const int32_t first_time = bars_.front().time;
    int64_t low = 0, high = file_bars;
    bool ok = true;
    while (low < high && ok) {
        const int64_t middle = low + (high - low) / 2;
        if (bar_time_at(file, middle, ok) < first_time) low = middle + 1;
        else high = middle;
    }
    if (!ok) return false;

    // Ticks change the newest bar of the file and add bars after it: such a save writes in
    // place from that bar on, and a cut leaves the old bars and some of the new ones.
    // Anything else moves or changes bars inside the file, where a cut would lose bars
    // unseen, so the file is replaced whole.
    const int64_t overlap = file_bars - low;
    bool appends = overlap <= static_cast<int64_t>(bars_.size());
    if (appends && overlap > 0) {
        const size_t unchanged = static_cast<size_t>(overlap - 1);
        appends = file_bars_equal(file, low, std::span(bars_).first(unchanged), ok) &&
                  bar_time_at(file, file_bars - 1, ok) == bars_[unchanged].time;
        if (!ok) return false;
    }
    if (!appends) return replace_file_locked(path, &file, low);

    const size_t start = overlap > 0 ? static_cast<size_t>(overlap - 1) : 0;
    HistoryFileHeader header = header_locked();
    const int64_t from = bar_offset(low + static_cast<int64_t>(start));
    return file.write_at(0, bytes_of(&header, sizeof header)) &&
           file.write_at(from, bytes_of(bars_.data() + start, (bars_.size() - start) * kBarSize)) &&
           file.truncate(bar_offset(low + static_cast<int64_t>(bars_.size())));
}

bool HistoryBase::trim_file_locked() {
    const std::string path = own_path_locked();
    RandomAccessFile file;
    if (!file.open(path, RandomAccessFile::Mode::ReadOnly)) return false;
    const int64_t size = file.size();
    if (size < static_cast<int64_t>(kHeaderSize)) return false;
    const size_t total = static_cast<size_t>(size - kHeaderSize) / kBarSize;
    if (total < 2 * max_bars_in_file_ || total <= max_bars_in_file_) return false;

    // On any error the replacement is dropped and the file stays as it was.
    platform::ReplacementFile out(path);
    HistoryFileHeader header = header_locked();
    return out.write(bytes_of(&header, sizeof header)) &&
           copy_file_bars(file, static_cast<int64_t>(total - max_bars_in_file_), static_cast<int64_t>(max_bars_in_file_),
                          out) &&
           out.commit();
}

// ---- ticks ----

bool HistoryBase::refresh_quote_window(int32_t time) {
    std::optional<QuoteSession> session = find_quote_session(symbol_.quote_hours, time);
    if (!session) {
        window_start_ = window_end_ = 0;
        return false;
    }
    window_start_ = session->start;
    window_end_ = session->end;
    day_open_ = session->day_open;
    week_open_ = week_open(time);
    month_open_ = month_open(time);
    alignment_ = session->alignment;
    return true;
}

bool HistoryBase::make_room_locked() {
    if (bars_.size() < capacity_) return true;
    if (bars_.size() > max_bars_in_memory_) {
        // The oldest bars leave memory: a repaired file must hold them before that.
        if (file_repaired_) save_locked();
        bars_.erase(bars_.begin(), bars_.begin() + static_cast<ptrdiff_t>(std::min(kShed, bars_.size())));
        return true;
    }
    try {
        bars_.reserve(bars_.size() + kGrowthSlack);
    } catch (const std::bad_alloc&) {
        return false;
    }
    capacity_ = bars_.size() + kGrowth;
    return true;
}

// The open time of the bar a tick at time belongs to; new_bar tells whether it starts one.
int32_t HistoryBase::bar_open_time(int32_t time, bool& new_bar) const {
    const bool empty = bars_.empty();
    const int64_t newest = empty ? 0 : bars_.back().time;
    int64_t open = 0;
    if (period_ == kDay || period_ == kWeek || period_ == kMonth) {
        open = period_ == kDay ? day_open_ : period_ == kWeek ? week_open_ : month_open_;
        new_bar = empty || open != newest;
        return static_cast<int32_t>(open);
    }
    if (period_ >= kDay) {
        new_bar = false;
        return static_cast<int32_t>(newest);
    }
    const int64_t length = int64_t{period_} * 60;
    open = time - (((time % length) + length) % length);
    if (period_ > 1 && period_index_ >= 1 && alignment_[period_index_ - 1] != 0) {
        open += int64_t{alignment_[period_index_ - 1]} * 60;
        if (time < open) open -= length;
    }
    if (open > window_end_) open -= length;
    new_bar = empty || floor_div(open, length) != floor_div(newest, length);
    return static_cast<int32_t>(open);
}

bool HistoryBase::add_tick(const TickRecord& tick) {
    std::lock_guard guard(lock_);
    if (offline_) return false;
    const int32_t time = tick.time;
    if ((time < window_start_ || time >= window_end_) && !refresh_quote_window(time)) return false;
    const float received_bid = tick.bid;
    const float received_ask = tick.ask;
    // A tick whose bar would open before the newest bar is old as well: bars imported after
    // the last tick, or a quote window that aligns the bar back, would otherwise put a bar
    // out of order in memory and in the file.
    bool starts_bar = false;
    const int32_t would_open = bar_open_time(time, starts_bar);
    const bool opens_before_newest = starts_bar && !bars_.empty() && would_open <= bars_.back().time;
    if (time < last_tick_time_ || opens_before_newest) {
        if (journal_ != nullptr)
            journal_->write(core::Level::Error, "Old tick %s%d %.5lf/%.5lf", name_.c_str(), period_,
                            static_cast<double>(received_bid), static_cast<double>(received_ask));
        return false;
    }
    if (!std::isfinite(received_bid) || !std::isfinite(received_ask)) return false;
    const double bid = core::normalize(received_bid, digits_);
    last_bid_ = bid;
    last_ask_ = core::normalize(received_ask, digits_);
    last_tick_time_ = time;

    if (!make_room_locked()) {
        if (journal_ != nullptr)
            journal_->write(core::Level::Fault, "HistoryBase: not enough memory for '%s%d' in AddTick()", name_.c_str(),
                            period_);
        return false;
    }
    bool new_bar = false;
    const int32_t open_time = bar_open_time(time, new_bar);
    if (new_bar) {
        BarRecord bar{};
        bar.time = open_time;
        bar.open = bar.high = bar.low = bar.close = bid;
        bars_.push_back(bar);
    } else if (bars_.empty()) {
        return false;
    }
    BarRecord& bar = bars_.back();
    if (!new_bar) {
        // Packed fields are copied out: a reference to one may be misaligned.
        const double low = bar.low;
        const double high = bar.high;
        bar.low = std::min(low, bid);
        bar.high = std::max(high, bid);
        bar.close = bid;
    }
    bar.volume = bar.volume + 1;
    modified_ = true;
    version_ += 1;
    KB_DEBUG_ASSERT(ascending(std::span(bars_).last(std::min<size_t>(bars_.size(), 2))),
                    "1. a tick's bar opens after the newest bar");
    KB_DEBUG_ASSERT(bars_.size() <= capacity_, "2. history bars within capacity after a tick");
    return true;
}

// ---- import ----

size_t HistoryBase::import_bars(std::span<const BarRecord> bars, int32_t time_sign) {
    std::lock_guard guard(lock_);
    return import_locked(std::vector<BarRecord>(bars.begin(), bars.end()), time_sign);
}

// The server counts points in the symbol's digits as they are now; the file header's
// digits may be those of an older symbol record.
int HistoryBase::symbol_digits_locked() const {
    const int32_t digits = symbol_.digits;
    return digits;
}

// Converts downloaded bars; nullopt when there is no memory for them.
template <typename Wire>
static std::optional<std::vector<BarRecord>> converted(std::span<const Wire> bars, int digits) {
    try {
        std::vector<BarRecord> out;
        out.reserve(bars.size());
        for (const Wire& bar : bars) out.push_back(bar_from_wire(bar, digits));
        return out;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

size_t HistoryBase::import_bars(std::span<const WireBar22> bars, int32_t time_sign) {
    std::lock_guard guard(lock_);
    return import_converted(converted(bars, symbol_digits_locked()), bars.size(), time_sign);
}

size_t HistoryBase::import_bars(std::span<const WireBar28> bars, int32_t time_sign) {
    std::lock_guard guard(lock_);
    return import_converted(converted(bars, symbol_digits_locked()), bars.size(), time_sign);
}

size_t HistoryBase::import_converted(std::optional<std::vector<BarRecord>> incoming, size_t count,
                                     int32_t time_sign) {
    if (!incoming) {
        if (journal_ != nullptr)
            journal_->write(core::Level::Fault, "HistoryBase: not enough memory for import '%s' [%d bars]", name_.c_str(),
                            static_cast<int>(count));
        return 0;
    }
    return import_locked(std::move(*incoming), time_sign);
}

size_t HistoryBase::import_locked(std::vector<BarRecord> incoming, int32_t time_sign) {
    if (incoming.empty()) return 0;
    std::vector<BarRecord> merged;
    try {
        merged.reserve(incoming.size() + bars_.size() + kGrowthSlack);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    std::stable_sort(incoming.begin(), incoming.end(),
                     [](const BarRecord& a, const BarRecord& b) { return a.time < b.time; });
    const int32_t first = incoming.front().time;
    const int32_t last = incoming.back().time;
    for (const BarRecord& bar : bars_)
        if (bar.time < first) merged.push_back(bar);
    size_t accepted = 0;
    for (const BarRecord& bar : incoming) {
        if (!is_acceptable_download(bar)) continue;
        // A second bar of one time would be a load error later: the first one stays, as on load.
        if (accepted > 0 && merged.back().time == bar.time) continue;
        merged.push_back(bar);
        ++accepted;
    }
    if (accepted == 0) return 0;
    for (const BarRecord& bar : bars_)
        if (bar.time > last) merged.push_back(bar);
    capacity_ = incoming.size() + bars_.size() + kGrowth;
    bars_ = std::move(merged);
    KB_DEBUG_ASSERT(ascending(bars_), "1. history bars ascend after an import");
    KB_DEBUG_ASSERT(bars_.size() <= capacity_, "2. history bars within capacity after an import");
    modified_ = true;
    if (time_sign != 0) time_sign_ = time_sign;
    version_ += kVersionStepLoad;
    save_locked();
    return accepted;
}

// ---- charts ----

bool HistoryBase::copy_to_chart(ChartBuffer& chart) {
    std::lock_guard guard(lock_);
    if (chart.version == version_) return false;
    const size_t count = hidden_ < bars_.size() ? bars_.size() - hidden_ : bars_.size();
    if (chart.bars.capacity() < count) {
        try {
            chart.bars.reserve(count + kChartSpare);
        } catch (const std::bad_alloc&) {
            if (journal_ != nullptr)
                journal_->write(core::Level::Fault, "HistoryBase: not enough memory '%s%d' [%d bars]", name_.c_str(), period_,
                                static_cast<int>(count));
            return false;
        }
    }
    chart.bars.assign(bars_.end() - static_cast<ptrdiff_t>(count), bars_.end());
    chart.version = version_;
    return true;
}

// ---- accessors ----

void HistoryBase::set_symbol(const SymbolRecord& symbol) {
    std::lock_guard guard(lock_);
    symbol_ = symbol;
    digits_ = symbol.digits;
    window_start_ = window_end_ = 0;
}

std::vector<BarRecord> HistoryBase::bars() const {
    std::lock_guard guard(lock_);
    return bars_;
}

size_t HistoryBase::bar_count() const {
    std::lock_guard guard(lock_);
    return bars_.size();
}

size_t HistoryBase::capacity() const {
    std::lock_guard guard(lock_);
    return capacity_;
}

int32_t HistoryBase::first_bar_time() const {
    std::lock_guard guard(lock_);
    return bars_.empty() ? 0 : bars_.front().time;
}

int32_t HistoryBase::last_bar_time() const {
    std::lock_guard guard(lock_);
    return bars_.empty() ? 0 : bars_.back().time;
}

int32_t HistoryBase::newest_bar_time(size_t n) const {
    std::lock_guard guard(lock_);
    if (bars_.empty()) return 0;
    return n < bars_.size() ? bars_[bars_.size() - 1 - n].time : bars_.front().time;
}

size_t HistoryBase::max_bars_in_memory() const {
    std::lock_guard guard(lock_);
    return max_bars_in_memory_;
}

int HistoryBase::digits() const {
    std::lock_guard guard(lock_);
    return digits_;
}

bool HistoryBase::is_symbol(std::string_view name) const { return name == name_; }

SymbolRecord HistoryBase::symbol() const {
    std::lock_guard guard(lock_);
    return symbol_;
}

HistorySummary HistoryBase::summary() const {
    std::lock_guard guard(lock_);
    return {name_, period_, time_sign_, bars_.empty() ? 0 : bars_.front().time, bars_.empty() ? 0 : bars_.back().time};
}

int64_t HistoryBase::version() const {
    std::lock_guard guard(lock_);
    return version_;
}

bool HistoryBase::is_modified() const {
    std::lock_guard guard(lock_);
    return modified_;
}

size_t HistoryBase::hidden_bars() const {
    std::lock_guard guard(lock_);
    return hidden_;
}

int32_t HistoryBase::time_sign() const {
    std::lock_guard guard(lock_);
    return time_sign_;
}

}  // namespace kb::market
