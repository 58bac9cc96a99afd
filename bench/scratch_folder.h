#pragma once
// A fresh folder in the system's temporary folder holding "history/Demo", removed with
// everything in it when the object goes; and the wall time since a moment, for ratios
// between benchmarks of one run.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/files.h"

namespace kb::bench {

class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix) {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (char* made = ::mkdtemp(pattern.data())) path_ = made;
        platform::make_directory(path_ + "/history");
        platform::make_directory(path_ + "/history/Demo");
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

inline double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace kb::bench
