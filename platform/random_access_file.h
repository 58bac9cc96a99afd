#pragma once
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace kb::platform {

// One binary file read and written at explicit positions (stores that rewrite a file
// from the first changed record instead of whole).
// Not thread-safe: the owner serialises its calls.
class RandomAccessFile {
public:
    enum class Mode { ReadOnly, Update, Create };

    RandomAccessFile() = default;
    ~RandomAccessFile();   // closes
    RandomAccessFile(const RandomAccessFile&) = delete;
    RandomAccessFile& operator=(const RandomAccessFile&) = delete;

    // ReadOnly and Update open an existing file; Create makes it (emptied when it exists).
    // False when it can't be opened; the object is then closed.
    bool open(const std::string& path, Mode mode);
    bool is_open() const { return file_ != nullptr; }
    void close();

    // Current size in bytes, -1 when not open or it can't be queried.
    int64_t size();
    // Reads exactly bytes.size() bytes at offset; false on a short read or error.
    bool read_at(int64_t offset, std::span<uint8_t> bytes);
    // Writes all bytes at offset; false when not every byte was written.
    bool write_at(int64_t offset, std::span<const uint8_t> bytes);
    // Cuts (or extends) the file to size bytes; false on error.
    bool truncate(int64_t size);

private:
    std::FILE* file_ = nullptr;
    std::string path_;
};

// A new empty file in the system's temporary folder whose name starts with prefix; its
// path, or empty when none could be made. The caller removes it.
std::string make_temporary_file(const std::string& prefix);

}  // namespace kb::platform
