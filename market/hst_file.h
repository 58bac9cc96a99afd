#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "market/bar_record.h"

namespace kb::market {

// The history file of one symbol and period: a 148-byte header, then bars in ascending
// time order.

inline constexpr int32_t kHistoryFileVersion = 400;
inline constexpr const char* kHistoryNotice = "Kestrelbay 4 Mobile history";

#pragma pack(push, 1)
struct HistoryFileHeader {
    int32_t version;                 // kHistoryFileVersion
    char notice[64];                 // the program's notice
    char symbol[12];
    int32_t period;                  // minutes
    int32_t digits;
    int32_t time_sign;               // last import from the history server
    int32_t last_sync;               // last synchronisation
    uint8_t reserved_96[52];
};
static_assert(sizeof(HistoryFileHeader) == 148);
static_assert(offsetof(HistoryFileHeader, notice) == 4);
static_assert(offsetof(HistoryFileHeader, symbol) == 68);
static_assert(offsetof(HistoryFileHeader, period) == 80);
static_assert(offsetof(HistoryFileHeader, digits) == 84);
static_assert(offsetof(HistoryFileHeader, time_sign) == 88);
static_assert(offsetof(HistoryFileHeader, last_sync) == 92);
static_assert(offsetof(HistoryFileHeader, reserved_96) == 96);

// Another program's history file a chart may show: a 600-byte header starting with the
// version, then 52-byte records whose first 44 bytes are a bar.
inline constexpr int32_t kOtherHistoryVersion = 402;
inline constexpr size_t kOtherHistoryHeaderSize = 600;
struct OtherHistoryRecord {
    BarRecord bar;
    uint8_t reserved_44[8];
};
static_assert(sizeof(OtherHistoryRecord) == 52);
#pragma pack(pop)

// The newest min(N, max_bars) bars of such a file, read in blocks of 128 records; empty
// when the file doesn't open, is short, or its version isn't 402.
std::vector<BarRecord> read_other_history(const std::string& path, size_t max_bars);

}  // namespace kb::market
