#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kb::platform {

// Failures a test makes the file functions of platform/ report for the paths that start
// with a prefix (a file or a folder), as an unreadable file or a full disk would, also
// when the process runs as root. One prefix of each kind at a time; thread-safe.

// Every read of a matching path fails (the file still opens and has its size).
void fail_reads(const std::string& prefix);
// Writes to matching paths succeed for bytes_left more bytes in all, then fail; a write
// that crosses the limit stores its first bytes only, as on a disk that fills up.
void fail_writes_after(const std::string& prefix, uint64_t bytes_left);
// Both kinds end.
void clear_file_faults();

// For the file functions: whether a read of path must fail, and how many of wanted bytes
// a write to path may store (wanted when no fault applies).
bool read_refused(const std::string& path);
size_t writable_bytes(const std::string& path, size_t wanted);

}  // namespace kb::platform
