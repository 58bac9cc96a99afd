#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kb::platform {

// Paths are joined with '/'; the data layout under the program folder stays that of the
// handheld ("logs/20261209.log", "config/server.ini").
std::string join_path(std::string_view folder, std::string_view name);

bool file_exists(const std::string& path);        // a regular file
bool directory_exists(const std::string& path);
// True for a symbolic link itself (not followed), whatever it points to.
bool is_symbolic_link(const std::string& path);
// Creates one folder (0755). True when it exists afterwards.
bool make_directory(const std::string& path);
bool remove_file(const std::string& path);
bool remove_directory(const std::string& path);   // empty folders only
// Size in bytes, or -1 when the file can't be queried.
int64_t file_size(const std::string& path);

// Reads a whole file; nullopt when it can't be opened or read.
std::optional<std::vector<uint8_t>> read_file(const std::string& path);

// True for a regular file of the current user that no one else may read or write
// (the mode grants nothing to group and others).
bool is_owner_only_file(const std::string& path);

// Reads standard input to its end; nullopt when reading fails or more than limit bytes come.
std::optional<std::string> read_standard_input(size_t limit);

enum class FileAccess { Shared, OwnerOnly };

// A file written whole under a temporary name beside its path and renamed over it on
// commit, so a crash or a full disk leaves either the old or the new file, never part of
// one. Shared keeps the permissions of the file it replaces (0644 for a new one);
// OwnerOnly makes it readable by its owner alone (passwords, keys). Not thread-safe.
class ReplacementFile {
public:
    explicit ReplacementFile(std::string path, FileAccess access = FileAccess::Shared);
    // Removes the temporary file unless committed.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Appends bytes; false when they weren't all written (every later call fails too).
    bool write(std::span<const uint8_t> bytes);
    // Syncs the temporary file and renames it over the path. False when it couldn't be
    // created, a write failed or the rename failed; the path is then unchanged.
    bool commit();

private:
    friend bool copy_file(const std::string& from, const std::string& to);
    ReplacementFile(std::string path, unsigned permissions);
    void open_temporary(unsigned permissions);
    void discard();

    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    bool ok_ = false;
};

// Writes bytes through a ReplacementFile.
bool write_file_atomic(const std::string& path, std::span<const uint8_t> bytes,
                       FileAccess access = FileAccess::Shared);

// Copies from over to (replacing it) through a temporary file and a rename; the copy
// takes from's permissions. False when anything fails, in which case to is unchanged.
bool copy_file(const std::string& from, const std::string& to);

struct FolderEntry {
    std::string name;
    bool is_directory = false;
};
// Entries of a folder whose names match a shell wildcard ("*.srv"), without "." and "..";
// empty when the folder can't be read.
std::vector<FolderEntry> list_folder(const std::string& folder, const std::string& mask = "*");

}  // namespace kb::platform
