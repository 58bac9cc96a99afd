#pragma once
#include <ostream>
#include <span>
#include <string>

namespace kb::tools {

// The history tool's commands, run through the history base itself so that the files it
// reads and writes follow the terminal's own rules:
//   export FILE.hst                 the bars as CSV on out, after the load's check and repair
//   import FILE.csv FILE.hst [--symbol NAME --period MINUTES] [--digits N]
//                                   merges CSV bars into FILE.hst through the import checks
// FILE.hst itself is never changed by export; import replaces it only when at least one
// bar was accepted (the symbol and period come from its header, or from the options when
// it doesn't exist yet). Messages and the history base's journal lines go to err.
// Returns the exit code: 0 done, 1 bad input or a failed file operation, 2 bad usage.
// Single-threaded: one call at a time.
int run_hst_tool(std::span<const std::string> arguments, std::ostream& out, std::ostream& err);

}  // namespace kb::tools
