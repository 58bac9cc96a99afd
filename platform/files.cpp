#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "platform/file_faults.h"

namespace kb::platform {
namespace {

bool write_all(int fd, const std::string& path, const uint8_t* data, size_t size) {
    while (size > 0) {
        const size_t allowed = writable_bytes(path, size);
        if (allowed == 0) {
            errno = ENOSPC;
            return false;
        }
        ssize_t n = ::write(fd, data, allowed);
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
    if (read_refused(path)) {
        ::close(fd);
        return std::nullopt;
    }
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

ReplacementFile::ReplacementFile(std::string path, FileAccess access) : path_(std::move(path)) {
    unsigned permissions = 0644;
    struct stat existing{};
    if (access == FileAccess::OwnerOnly) permissions = 0600;
    else if (::stat(path_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) permissions = existing.st_mode & 07777;
    open_temporary(permissions);
}

ReplacementFile::ReplacementFile(std::string path, unsigned permissions) : path_(std::move(path)) {
    open_temporary(permissions);
}

void ReplacementFile::open_temporary(unsigned permissions) {
    temporary_ = temporary_name(path_);
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    // The mode is set apart from creation so that the umask doesn't narrow a kept one.
    ok_ = fd_ >= 0 && ::fchmod(fd_, static_cast<mode_t>(permissions)) == 0;
}

ReplacementFile::~ReplacementFile() { discard(); }

void ReplacementFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    if (fd_ >= 0 || ok_) ::unlink(temporary_.c_str());
    fd_ = -1;
    ok_ = false;
}

bool ReplacementFile::write(std::span<const uint8_t> bytes) {
    ok_ = ok_ && write_all(fd_, path_, bytes.data(), bytes.size());
    return ok_;
}

bool ReplacementFile::commit() {
    if (!ok_) {
        discard();
        return false;
    }
    const bool synced = ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (synced && closed && ::rename(temporary_.c_str(), path_.c_str()) == 0) {
        ok_ = false;
        return true;
    }
    ::unlink(temporary_.c_str());
    ok_ = false;
    return false;
}

bool write_file_atomic(const std::string& path, std::span<const uint8_t> bytes, FileAccess access) {
    ReplacementFile file(path, access);
    file.write(bytes);
    return file.commit();
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
    ReplacementFile file(to, static_cast<unsigned>(source.st_mode & 07777));
    file.write(*bytes);
    return file.commit();
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
