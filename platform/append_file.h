#pragma once
#include <cstdio>
#include <span>
#include <string>

namespace kb::platform {

// One file opened for appending in binary mode (created when missing, mode 0666 less the
// umask). Every write lands at the end, after whatever the file already holds, and goes
// to the operating system at once (no buffer of its own).
// Not thread-safe: the owner serialises its calls.
class AppendFile {
public:
    AppendFile() = default;
    ~AppendFile();   // closes
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    // Opens path, closing any file opened before. False when it can't be opened (missing
    // folder, no permission); the object is then closed.
    bool open(const std::string& path);
    bool is_open() const { return file_ != nullptr; }

    // Appends all bytes; false when not open or not every byte was accepted.
    bool write(std::span<const char> bytes);
    // Hands the bytes written so far to the operating system; false when not open or it fails.
    bool flush();
    // Flushes and closes; harmless when not open.
    void close();

private:
    std::FILE* file_ = nullptr;
};

}  // namespace kb::platform
