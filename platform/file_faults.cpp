#include "platform/file_faults.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace kb::platform {
namespace {

struct Faults {
    std::mutex lock;
    std::atomic<bool> any{false};   // the common case asks without the lock
    std::string read_prefix;
    std::string write_prefix;
    uint64_t write_budget = 0;
};

Faults& faults() {
    static Faults instance;
    return instance;
}

bool matches(const std::string& prefix, const std::string& path) {
    return !prefix.empty() && path.compare(0, prefix.size(), prefix) == 0;
}

void update_any(Faults& f) { f.any = !f.read_prefix.empty() || !f.write_prefix.empty(); }

}  // namespace

void fail_reads(const std::string& prefix) {
    Faults& f = faults();
    std::lock_guard guard(f.lock);
    f.read_prefix = prefix;
    update_any(f);
}

void fail_writes_after(const std::string& prefix, uint64_t bytes_left) {
    Faults& f = faults();
    std::lock_guard guard(f.lock);
    f.write_prefix = prefix;
    f.write_budget = bytes_left;
    update_any(f);
}

void clear_file_faults() {
    Faults& f = faults();
    std::lock_guard guard(f.lock);
    f.read_prefix.clear();
    f.write_prefix.clear();
    f.write_budget = 0;
    update_any(f);
}

bool read_refused(const std::string& path) {
    Faults& f = faults();
    if (!f.any) return false;
    std::lock_guard guard(f.lock);
    return matches(f.read_prefix, path);
}

size_t writable_bytes(const std::string& path, size_t wanted) {
    Faults& f = faults();
    if (!f.any) return wanted;
    std::lock_guard guard(f.lock);
    if (!matches(f.write_prefix, path)) return wanted;
    const size_t allowed = static_cast<size_t>(std::min<uint64_t>(wanted, f.write_budget));
    f.write_budget -= allowed;
    return allowed;
}

}  // namespace kb::platform
