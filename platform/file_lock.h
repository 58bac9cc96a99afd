#pragma once
#include <string>

namespace kb::platform {

// An exclusive advisory lock (flock) on a lock file, held from construction until
// destruction. It serialises writers between processes and between threads alike,
// because every object opens the file anew. The lock file is created (owner-only) when
// missing and left in place afterwards. One object belongs to one thread.
class FileLock {
public:
    // Blocks until the lock is held; held() is false when the file can't be opened or
    // locked (a missing folder, no permission).
    explicit FileLock(const std::string& lock_path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace kb::platform
