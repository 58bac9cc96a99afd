#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace kb::platform {
namespace {

bool write_all(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string temporary_name(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
}

}  // namespace

std::string join_path(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    return path;
}

bool is_owner_only_file(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

std::optional<std::string> read_standard_input(size_t limit) {
    std::string text;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (got == 0) return text;
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (text.size() + static_cast<size_t>(got) > limit) return std::nullopt;
        text.append(chunk, static_cast<size_t>(got));
    }
}

bool file_exists(const std::string& path) {
    struct stat info{};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool directory_exists(const std::string& path) {
    struct stat info{};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool is_symbolic_link(const std::string& path) {
    struct stat info{};
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool make_directory(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == 0) return true;
    return errno == EEXIST && directory_exists(path);
}

bool remove_file(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool remove_directory(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

int64_t file_size(const std::string& path) {
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0) return -1;
    return static_cast<int64_t>(info.st_size);
}

std::optional<std::vector<uint8_t>> read_file(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    ::close(fd);
    return bytes;
}

bool write_file_atomic(const std::string& path, std::span<const uint8_t> bytes, FileAccess access) {
    std::string temp = temporary_name(path);
    mode_t mode = access == FileAccess::OwnerOnly ? 0600 : 0644;
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return false;
    bool ok = write_all(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

bool copy_file(const std::string& from, const std::string& to) {
    auto bytes = read_file(from);
    if (!bytes) return false;
    // A destination we may not write (read-only, or a folder in its place) is kept as it is.
    if (::access(to.c_str(), F_OK) == 0) {
        struct stat info{};
        if (::stat(to.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || (info.st_mode & 0222) == 0) return false;
    }
    struct stat source{};
    if (::stat(from.c_str(), &source) != 0) return false;
    std::string temp = temporary_name(to);
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, source.st_mode & 07777);
    if (fd < 0) return false;
    bool ok = write_all(fd, bytes->data(), bytes->size()) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), to.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

std::vector<FolderEntry> list_folder(const std::string& folder, const std::string& mask) {
    std::vector<FolderEntry> entries;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return entries;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (::fnmatch(mask.c_str(), name.c_str(), 0) != 0) continue;
        entries.push_back({name, directory_exists(join_path(folder, name))});
    }
    ::closedir(dir);
    return entries;
}

}  // namespace kb::platform
