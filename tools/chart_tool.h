#pragma once
#include <ostream>
#include <span>
#include <string>

namespace kb::tools {

// The chart tool's commands, run through the terminal's own chart model:
//   profile PROFILE.ini [--symbols SYMBOLS.raw]
//       loads the profile (limits applied, the symbol resolved against the symbols of
//       SYMBOLS.raw, or against none) and writes it on out as the terminal saves it
//   values PROFILE.ini HISTORY.hst
//       loads the profile and the history (through the history base's check and repair),
//       calculates every indicator in full and writes CSV on out: "time", then one
//       "NAME[B]" column per buffer of each indicator in profile order (the price series
//       left out), one row per bar, oldest first, values as %.17g (0 where there is none)
//   render PROFILE.ini HISTORY.hst OUT.png [--size WIDTHxHEIGHT] [--dpi N] [--leftpos N]
//       loads both as values does and draws the chart as the Chart tab does into a PNG of
//       WIDTH x HEIGHT pixels (default 480x640) at N dots per inch (default 96), the newest
//       bars in view unless leftpos is given (limited like a scroll)
// Neither input file is changed. Bad input and bad usage give one line on err and exit code 1;
// the chart's and history base's journal lines go to err as well. Returns 0 when done.
// Single-threaded: one call at a time.
int run_chart_tool(std::span<const std::string> arguments, std::ostream& out, std::ostream& err);

}  // namespace kb::tools
