#include "platform/append_file.h"

namespace kb::platform {

AppendFile::~AppendFile() { close(); }

bool AppendFile::open(const std::string& path) {
    close();
    // "e": the descriptor is not inherited by programs the terminal starts.
    file_ = std::fopen(path.c_str(), "abe");
    if (file_ == nullptr) return false;
    // Callers buffer for themselves; a second buffer here would hide written bytes from
    // readers of the file until the next flush.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    return true;
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
