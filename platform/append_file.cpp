#include "platform/append_file.h"

namespace kb::platform {

AppendFile::~AppendFile() { close(); }

bool AppendFile::open(const std::string& path) {
    close();
    // "e": the descriptor is not inherited by programs the terminal starts.
    file_ = std::fopen(path.c_str(), "abe");
    return file_ != nullptr;
}

bool AppendFile::write(std::span<const char> bytes) {
    if (file_ == nullptr) return false;
    if (bytes.empty()) return true;
    return std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
}

bool AppendFile::flush() { return file_ != nullptr && std::fflush(file_) == 0; }

void AppendFile::close() {
    if (file_ == nullptr) return;
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace kb::platform
