#include "platform/file_head.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_faults.h"

namespace kb::platform {

std::optional<std::vector<uint8_t>> read_file_head(const std::string& path, size_t max_bytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    if (read_refused(path)) {
        ::close(fd);
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(max_bytes);
    size_t filled = 0;
    while (filled < max_bytes) {
        ssize_t n = ::read(fd, bytes.data() + filled, max_bytes - filled);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        filled += static_cast<size_t>(n);
    }
    ::close(fd);
    bytes.resize(filled);
    return bytes;
}

}  // namespace kb::platform
