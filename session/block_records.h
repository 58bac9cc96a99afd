#pragma once
#include <cstring>
#include <optional>
#include <vector>

#include "net/compressed_block.h"

namespace kb::session {

// The records of a block whose size is a whole number of them (none for an empty block);
// nullopt otherwise.
template <class Record>
std::optional<std::vector<Record>> records_of(const net::CompressedBlock& block) {
    if (block.status == net::BlockStatus::Empty) return std::vector<Record>{};
    if (block.size % sizeof(Record) != 0) return std::nullopt;
    std::vector<Record> records(block.size / sizeof(Record));
    if (!records.empty()) std::memcpy(records.data(), block.bytes.get(), block.size);
    return records;
}

}  // namespace kb::session
