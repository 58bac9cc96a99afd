// Journal lines per second against two plain loggers that hand each line to stdio with
// one fwrite, measured in the same run: one formats every line as the journal does, the
// other writes a line formatted once in advance (the cost of the bytes alone).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/journal.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace {

using kb::core::Journal;
using kb::core::Level;

#define KB_BENCH_MESSAGE "'%d': order #%d buy %.2f %s at %.5f sl: %.5f tp: %.5f"
#define KB_BENCH_ARGUMENTS 1234, 56789, 1.0, "EURUSD", 1.08345, 0.0, 0.0

// A scratch program folder with "logs", removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kb-bench-XXXXXX").string();
        if (char* made = ::mkdtemp(pattern.data())) path_ = made;
        kb::platform::make_directory(kb::platform::join_path(path_, "logs"));
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double formatting_baseline_lines_per_second = 0;
double preformatted_baseline_lines_per_second = 0;

// Runs one fwrite per line to a FILE* in a scratch folder; next_line gives the line's bytes.
template <typename NextLine>
void run_fwrite_baseline(benchmark::State& state, NextLine next_line, double& lines_per_second) {
    ScratchFolder folder;
    std::FILE* file = std::fopen(kb::platform::join_path(folder.path(), "logs/baseline.log").c_str(), "ab");
    if (file == nullptr) {
        state.SkipWithError("can't open the baseline file");
        return;
    }
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::string_view line = next_line();
        std::fwrite(line.data(), 1, line.size(), file);
    }
    std::fclose(file);
    lines_per_second = static_cast<double>(state.iterations()) / seconds_since(start);
    state.counters["lines_per_s"] = lines_per_second;
}

void BM_FormatAndFwritePerLine(benchmark::State& state) {
    char line[512];
    auto format_line = [&line] {
        int length = std::snprintf(line, sizeof line, "12:34:56 " KB_BENCH_MESSAGE "\r\n", KB_BENCH_ARGUMENTS);
        return std::string_view(line, static_cast<size_t>(length));
    };
    run_fwrite_baseline(state, format_line, formatting_baseline_lines_per_second);
}

void BM_FwritePerPreformattedLine(benchmark::State& state) {
    char line[512];
    int length = std::snprintf(line, sizeof line, "12:34:56 " KB_BENCH_MESSAGE "\r\n", KB_BENCH_ARGUMENTS);
    auto same_line = [&] { return std::string_view(line, static_cast<size_t>(length)); };
    run_fwrite_baseline(state, same_line, preformatted_baseline_lines_per_second);
}

void BM_JournalWrite(benchmark::State& state) {
    ScratchFolder folder;
    Journal journal(folder.path(), kb::platform::system_clock());

    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) journal.write(Level::Info, KB_BENCH_MESSAGE, KB_BENCH_ARGUMENTS);
    journal.close();
    double elapsed = seconds_since(start);

    double lines_per_second = static_cast<double>(state.iterations()) / elapsed;
    state.counters["lines_per_s"] = lines_per_second;
    if (formatting_baseline_lines_per_second > 0)
        state.counters["ratio_to_fwrite"] = lines_per_second / formatting_baseline_lines_per_second;
    if (preformatted_baseline_lines_per_second > 0)
        state.counters["ratio_to_preformatted_fwrite"] = lines_per_second / preformatted_baseline_lines_per_second;
}

}  // namespace

// The baselines run first: the journal's ratios need their rates.
BENCHMARK(BM_FormatAndFwritePerLine)->MinTime(0.5);
BENCHMARK(BM_FwritePerPreformattedLine)->MinTime(0.5);
BENCHMARK(BM_JournalWrite)->MinTime(0.5);

BENCHMARK_MAIN();
