#pragma once
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "core/journal.h"
#include "market/history_base.h"
#include "market/hst_file.h"

namespace kb::tools {

// What the tools share to read a user's history file through the terminal's own history
// base, its check and repair included, without changing the file. Single-threaded.

inline constexpr int kDefaultHistoryDigits = 5;

// Which history a file holds.
struct HistoryIdentity {
    std::string symbol;
    int period = 0;
    int digits = kDefaultHistoryDigits;
};

// A private program folder in the system's temporary folder: the history base loads,
// repairs and saves a copy there, so the user's file changes only by a final copy.
// Everything in it is removed with it.
class Workspace {
public:
    // The server folder's name under "history".
    static constexpr const char* kServer = "tool";

    Workspace();
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // False when the folder couldn't be made.
    bool ready() const { return !root_.empty(); }
    const std::string& root() const { return root_; }
    // The server folder, where the history base and the symbols base keep their files.
    std::string server_folder() const;
    // Where the history base keeps the history of that symbol and period.
    const std::string& history_file(const HistoryIdentity& identity);
    // Copies a file into the server folder under name, to be removed with the workspace.
    bool add_file(const std::string& from, const std::string& name);

private:
    std::string history_folder() const;

    std::string root_;
    std::string file_;
};

// The header of a history file; nothing when it can't be read or has another version.
std::optional<market::HistoryFileHeader> read_history_header(const std::string& path);

HistoryIdentity identity_of(const market::HistoryFileHeader& header);

// "<symbol><period>", as the file is named.
std::string history_name(const HistoryIdentity& identity);

// A journal whose lines go, without their time, to err.
class JournalToStream {
public:
    JournalToStream(const std::string& folder, std::ostream& err);
    core::Journal* get() { return &journal_; }

private:
    core::Journal journal_;
};

// The history of the workspace's copy; offline, so nothing is saved behind the tool's back,
// and without a limit on its bars. Null for a symbol or period that can't name a history.
std::unique_ptr<market::HistoryBase> open_history(const HistoryIdentity& identity, const Workspace& workspace,
                                                  core::Journal* journal);

}  // namespace kb::tools
