#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "market/symbol_record.h"

namespace kb::market {

// The per-server files of the symbols base under "<program folder>/history/<server>/":
// symbols.raw (N symbol records, no header), symgroups.raw (the 32 groups) and
// symbols.sel (int32 400, then the Market Watch entries). Reads fall back to the
// "default" server folder when the server's own file doesn't open; writes go to the
// server's own folder, created when missing. Pure file work: the caller serialises.

inline constexpr int32_t kSelectionFileVersion = 400;

using SymbolGroupTable = std::array<SymbolGroupRecord, kSymbolGroupCount>;

enum class SymbolFile { Symbols, Groups, Selection };

class SymbolFiles {
public:
    SymbolFiles(std::string program_folder, std::string server);

    // The path a file is written to.
    std::string write_path(SymbolFile file) const;

    // The symbols in the file; empty when no file opens.
    std::vector<SymbolRecord> read_symbols() const;
    // The group table; all zero when the file is missing or shorter than the table.
    SymbolGroupTable read_groups() const;
    // The raw bytes of symbols.sel; empty when no file opens.
    std::vector<uint8_t> read_selection_bytes() const;

    // Each writes the whole file (temporary file + rename); false on failure.
    bool write_symbols(std::span<const SymbolRecord> symbols) const;
    bool write_groups(const SymbolGroupTable& groups) const;
    bool write_selection(std::span<const SelectedSymbol> entries) const;

private:
    std::string server_folder(const std::string& server) const;
    std::vector<uint8_t> read_with_fallback(SymbolFile file) const;
    bool write(SymbolFile file, std::span<const uint8_t> bytes) const;

    std::string program_folder_;
    std::string server_;
};

// How a symbols.sel was read.
enum class SelectionForm { Current, Older, Unknown };

struct SelectionFileContent {
    SelectionForm form = SelectionForm::Unknown;
    std::vector<SelectedSymbol> entries;   // older entries already widened to the current form
};

// Parses symbols.sel bytes: version 400 gives file size / 128 entries from offset 4; a
// file of another version whose size is a multiple of 112 is the older form (its raw
// prices are taken from bid and ask); anything else gives no entries. Every entry's
// name is NUL-terminated. Never reads past bytes.
SelectionFileContent parse_selection_file(std::span<const uint8_t> bytes);

}  // namespace kb::market
