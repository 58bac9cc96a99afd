#include "platform/random_access_file.h"

#include <cstdlib>
#include <sys/types.h>
#include <unistd.h>

#include "platform/file_faults.h"

namespace kb::platform {

RandomAccessFile::~RandomAccessFile() { close(); }

bool RandomAccessFile::open(const std::string& path, Mode mode) {
    close();
    const char* how = mode == Mode::ReadOnly ? "rb" : mode == Mode::Update ? "r+b" : "w+b";
    file_ = std::fopen(path.c_str(), how);
    if (file_ != nullptr) path_ = path;
    return file_ != nullptr;
}

void RandomAccessFile::close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    path_.clear();
}

int64_t RandomAccessFile::size() {
    if (file_ == nullptr || fseeko(file_, 0, SEEK_END) != 0) return -1;
    return ftello(file_);
}

bool RandomAccessFile::read_at(int64_t offset, std::span<uint8_t> bytes) {
    if (file_ == nullptr || offset < 0 || read_refused(path_) || fseeko(file_, offset, SEEK_SET) != 0) return false;
    return std::fread(bytes.data(), 1, bytes.size(), file_) == bytes.size();
}

bool RandomAccessFile::write_at(int64_t offset, std::span<const uint8_t> bytes) {
    if (file_ == nullptr || offset < 0 || fseeko(file_, offset, SEEK_SET) != 0) return false;
    const size_t allowed = writable_bytes(path_, bytes.size());
    const bool written = std::fwrite(bytes.data(), 1, allowed, file_) == allowed && allowed == bytes.size();
    return std::fflush(file_) == 0 && written;
}

bool RandomAccessFile::truncate(int64_t size) {
    if (file_ == nullptr || size < 0 || std::fflush(file_) != 0) return false;
    return ftruncate(fileno(file_), size) == 0;
}

std::string make_temporary_file(const std::string& prefix) {
    const char* folder = std::getenv("TMPDIR");
    std::string pattern = std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/" + prefix + "XXXXXX";
    int descriptor = mkstemp(pattern.data());
    if (descriptor < 0) return {};
    ::close(descriptor);
    return pattern;
}

}  // namespace kb::platform
