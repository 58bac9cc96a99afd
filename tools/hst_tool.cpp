#include "tools/hst_tool.h"

#include <charconv>
#include <limits>
#include <memory>
#include <optional>

#include "core/fixed_text.h"
#include "core/journal.h"
#include "market/history_base.h"
#include "market/hst_file.h"
#include "platform/files.h"
#include "platform/random_access_file.h"
#include "tools/bar_csv.h"

namespace kb::tools {

namespace {

constexpr int kDone = 0;
constexpr int kBadInput = 1;
constexpr int kBadUsage = 2;
constexpr int kDefaultDigits = 5;
constexpr size_t kMaxSymbolLength = sizeof(market::SymbolRecord::name) - 1;
constexpr size_t kJournalTimePrefix = 9;   // "HH:MM:SS "
constexpr const char* kWorkServer = "tool";

constexpr const char* kUsage =
    "usage: hst-tool export FILE.hst\n"
    "       hst-tool import FILE.csv FILE.hst [--symbol NAME --period MINUTES] [--digits N]\n"
    "CSV lines: time,open,high,low,close,volume (time as YYYY-MM-DD HH:MM:SS UTC or seconds since 1970).\n"
    "export writes the newest 10000000 bars at most; --symbol and --period are needed when FILE.hst doesn't exist.\n";

// Which history a file holds.
struct HistoryIdentity {
    std::string symbol;
    int period = 0;
    int digits = kDefaultDigits;
};

// A private program folder in the system's temporary folder: the history base loads,
// repairs and saves a copy there, so the user's file changes only by a final copy.
class Workspace {
public:
    Workspace() {
        std::string made = platform::make_temporary_file("hsttool");
        if (made.empty() || !platform::remove_file(made) || !platform::make_directory(made)) return;
        root_ = made;
        if (!platform::make_directory(history_folder()) || !platform::make_directory(server_folder())) root_.clear();
    }
    ~Workspace() {
        if (root_.empty()) return;
        if (!file_.empty()) platform::remove_file(file_);
        platform::remove_directory(server_folder());
        platform::remove_directory(history_folder());
        platform::remove_directory(root_);
    }
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    bool ready() const { return !root_.empty(); }
    const std::string& root() const { return root_; }
    // Where the history base keeps the history of that symbol and period.
    const std::string& history_file(const HistoryIdentity& identity) {
        file_ = platform::join_path(server_folder(), identity.symbol + std::to_string(identity.period) + ".hst");
        return file_;
    }

private:
    std::string history_folder() const { return platform::join_path(root_, "history"); }
    std::string server_folder() const { return platform::join_path(history_folder(), kWorkServer); }

    std::string root_;
    std::string file_;
};

std::optional<market::HistoryFileHeader> read_header(const std::string& path) {
    platform::RandomAccessFile file;
    market::HistoryFileHeader header{};
    if (!file.open(path, platform::RandomAccessFile::Mode::ReadOnly) ||
        !file.read_at(0, {reinterpret_cast<uint8_t*>(&header), sizeof header}) ||
        header.version != market::kHistoryFileVersion)
        return std::nullopt;
    return header;
}

HistoryIdentity identity_of(const market::HistoryFileHeader& header) {
    HistoryIdentity identity;
    identity.symbol = std::string(core::field_text(header.symbol));
    identity.period = header.period;
    if (header.digits >= 0) identity.digits = header.digits;
    return identity;
}

std::string history_name(const HistoryIdentity& identity) {
    return identity.symbol + std::to_string(identity.period);
}

// The history base's journal lines, without their time, on err.
class JournalToStream {
public:
    JournalToStream(const std::string& folder, std::ostream& err) : journal_(folder, platform::system_clock()) {
        journal_.set_echo([&err](std::string_view line) {
            err << (line.size() > kJournalTimePrefix ? line.substr(kJournalTimePrefix) : line) << '\n';
        });
    }
    core::Journal* get() { return &journal_; }

private:
    core::Journal journal_;
};

// The history of the workspace's copy; offline, so nothing is saved behind the tool's back.
std::unique_ptr<market::HistoryBase> open_history(const HistoryIdentity& identity, const Workspace& workspace,
                                                  core::Journal* journal) {
    if (identity.symbol.empty() || identity.symbol.size() > kMaxSymbolLength) return nullptr;
    market::SymbolRecord symbol{};
    core::set_field_text(symbol.name, identity.symbol);
    symbol.digits = identity.digits;
    // No limit on the bars in the file: the tool never trims away a user's older bars.
    market::HistorySettings settings{workspace.root(), kWorkServer, market::HistoryBase::kLoadAllBars,
                                     std::numeric_limits<size_t>::max() / 4};
    return market::HistoryBase::create(symbol, identity.period, market::Offline::Yes, std::move(settings), journal);
}

int fail(std::ostream& err, const std::string& message) {
    err << "hst-tool: " << message << '\n';
    return kBadInput;
}

int usage(std::ostream& err, const std::string& message) {
    err << "hst-tool: " << message << '\n' << kUsage;
    return kBadUsage;
}

int export_history(const std::string& path, std::ostream& out, std::ostream& err) {
    if (!platform::file_exists(path)) return fail(err, "cannot open '" + path + "'");
    std::optional<market::HistoryFileHeader> header = read_header(path);
    if (!header) return fail(err, "'" + path + "' has no valid history header (version 400)");
    const HistoryIdentity identity = identity_of(*header);
    Workspace workspace;
    if (!workspace.ready()) return fail(err, "cannot make a temporary folder");
    if (!platform::copy_file(path, workspace.history_file(identity))) return fail(err, "cannot read '" + path + "'");
    JournalToStream journal(workspace.root(), err);
    std::unique_ptr<market::HistoryBase> history = open_history(identity, workspace, journal.get());
    if (!history) return fail(err, "'" + path + "' names a history that can't exist: '" + history_name(identity) + "'");
    const int digits = history->digits();
    out << kBarCsvHeader << '\n';
    for (const market::BarRecord& bar : history->bars()) out << bar_csv_line(bar, digits) << '\n';
    out.flush();
    return out.good() ? kDone : fail(err, "cannot write the CSV");
}

struct ImportOptions {
    std::optional<std::string> symbol;
    std::optional<int> period;
    std::optional<int> digits;
};

std::optional<int> whole_number(const std::string& text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The options after the two files; the error text when they are wrong.
std::optional<ImportOptions> import_options(std::span<const std::string> arguments, std::string& error) {
    ImportOptions options;
    for (size_t i = 0; i < arguments.size(); i += 2) {
        const std::string& name = arguments[i];
        if (i + 1 >= arguments.size()) {
            error = "option " + name + " needs a value";
            return std::nullopt;
        }
        const std::string& value = arguments[i + 1];
        if (name == "--symbol") {
            options.symbol = value;
        } else if (name == "--period" || name == "--digits") {
            std::optional<int> number = whole_number(value);
            if (!number) {
                error = "option " + name + " needs a whole number, not '" + value + "'";
                return std::nullopt;
            }
            (name == "--period" ? options.period : options.digits) = number;
        } else {
            error = "unknown option '" + name + "'";
            return std::nullopt;
        }
    }
    return options;
}

int import_csv(const std::string& csv_path, const std::string& hst_path, const ImportOptions& options,
               std::ostream& out, std::ostream& err) {
    HistoryIdentity identity;
    const bool exists = platform::file_exists(hst_path);
    if (exists) {
        std::optional<market::HistoryFileHeader> header = read_header(hst_path);
        if (!header) return fail(err, "'" + hst_path + "' has no valid history header (version 400); it is left as it is");
        identity = identity_of(*header);
        if ((options.symbol && *options.symbol != identity.symbol) || (options.period && *options.period != identity.period))
            return fail(err, "'" + hst_path + "' holds " + history_name(identity) + ", not the history the options name");
        if (header->digits < 0 && options.digits) identity.digits = *options.digits;
    } else {
        if (!options.symbol || !options.period)
            return usage(err, "'" + hst_path + "' doesn't exist: give --symbol and --period for a new history");
        identity.symbol = *options.symbol;
        identity.period = *options.period;
        identity.digits = options.digits.value_or(kDefaultDigits);
    }

    std::optional<std::vector<uint8_t>> text = platform::read_file(csv_path);
    if (!text) return fail(err, "cannot read '" + csv_path + "'");
    CsvBars csv = parse_bar_csv({reinterpret_cast<const char*>(text->data()), text->size()});
    if (!csv.error.empty()) return fail(err, "'" + csv_path + "' " + csv.error + "; nothing imported");
    if (csv.bars.empty()) return fail(err, "'" + csv_path + "' holds no bars");

    Workspace workspace;
    if (!workspace.ready()) return fail(err, "cannot make a temporary folder");
    const std::string work_file = workspace.history_file(identity);
    if (exists && !platform::copy_file(hst_path, work_file)) return fail(err, "cannot read '" + hst_path + "'");
    JournalToStream journal(workspace.root(), err);
    std::unique_ptr<market::HistoryBase> history = open_history(identity, workspace, journal.get());
    if (!history) return fail(err, "no history can be named '" + history_name(identity) + "' (symbol of 1 to 11 characters, period 1 to 43200)");
    const size_t accepted = history->import_bars(csv.bars, 0);
    if (accepted == 0)
        return fail(err, "none of the " + std::to_string(csv.bars.size()) + " bars passed the import checks; '" + hst_path +
                             "' is left as it is");
    if (history->is_modified()) return fail(err, "cannot write the history; '" + hst_path + "' is left as it is");
    const size_t total = history->bar_count();
    history.reset();
    if (!platform::copy_file(work_file, hst_path)) return fail(err, "cannot write '" + hst_path + "'");
    out << history_name(identity) << ": " << accepted << " of " << csv.bars.size() << " bars imported, " << total
        << " bars in '" << hst_path << "'\n";
    return kDone;
}

}  // namespace

int run_hst_tool(std::span<const std::string> arguments, std::ostream& out, std::ostream& err) {
    if (arguments.empty()) return usage(err, "no command");
    const std::string& command = arguments[0];
    if (command == "export") {
        if (arguments.size() != 2) return usage(err, "export takes one file");
        return export_history(arguments[1], out, err);
    }
    if (command == "import") {
        if (arguments.size() < 3) return usage(err, "import takes a CSV file and a history file");
        std::string error;
        std::optional<ImportOptions> options = import_options(arguments.subspan(3), error);
        if (!options) return usage(err, error);
        return import_csv(arguments[1], arguments[2], *options, out, err);
    }
    return usage(err, "unknown command '" + command + "'");
}

}  // namespace kb::tools
