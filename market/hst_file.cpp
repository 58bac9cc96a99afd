#include "market/hst_file.h"

#include <algorithm>
#include <cstring>

#include "platform/random_access_file.h"

namespace kb::market {

namespace {
constexpr size_t kRecordsPerBlock = 128;
}

std::vector<BarRecord> read_other_history(const std::string& path, size_t max_bars) {
    platform::RandomAccessFile file;
    if (!file.open(path, platform::RandomAccessFile::Mode::ReadOnly)) return {};
    int32_t version = 0;
    if (!file.read_at(0, {reinterpret_cast<uint8_t*>(&version), sizeof version}) || version != kOtherHistoryVersion)
        return {};
    const int64_t size = file.size();
    if (size < static_cast<int64_t>(kOtherHistoryHeaderSize)) return {};
    const size_t total = static_cast<size_t>(size - static_cast<int64_t>(kOtherHistoryHeaderSize)) / sizeof(OtherHistoryRecord);
    const size_t count = std::min(total, max_bars);
    std::vector<BarRecord> bars;
    bars.reserve(count);
    std::vector<OtherHistoryRecord> block(kRecordsPerBlock);
    int64_t offset = static_cast<int64_t>(kOtherHistoryHeaderSize + (total - count) * sizeof(OtherHistoryRecord));
    for (size_t done = 0; done < count;) {
        const size_t n = std::min(kRecordsPerBlock, count - done);
        if (!file.read_at(offset, {reinterpret_cast<uint8_t*>(block.data()), n * sizeof(OtherHistoryRecord)})) return {};
        for (size_t i = 0; i < n; ++i) bars.push_back(block[i].bar);
        offset += static_cast<int64_t>(n * sizeof(OtherHistoryRecord));
        done += n;
    }
    return bars;
}

}  // namespace kb::market
