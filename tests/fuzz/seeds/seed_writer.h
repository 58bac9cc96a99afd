#pragma once
// What the seed recorders share: where the seeds go and how their bytes are cut and joined.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "net/scramble.h"
#include "platform/files.h"
#include "platform/random_access_file.h"

namespace kb::fuzzing::seeds {

using Bytes = std::vector<uint8_t>;

// The corpus folder given on the command line; each target has a folder of its own in it.
inline std::string& corpus_root() {
    static std::string root;
    return root;
}

// Writes <corpus>/<target>/<name>; a seed that can't be written ends the program.
inline void write_seed(const std::string& target, const std::string& name, std::span<const uint8_t> bytes) {
    const std::string folder = corpus_root() + "/" + target;
    platform::make_directory(folder);
    if (!platform::write_file_atomic(folder + "/" + name, bytes)) {
        std::fprintf(stderr, "cannot write %s/%s\n", folder.c_str(), name.c_str());
        std::exit(1);
    }
    std::printf("%s/%s: %zu bytes\n", target.c_str(), name.c_str(), bytes.size());
}

// The bytes of a file the terminal wrote; a missing one ends the program, since the seed
// it was meant for would silently go stale.
inline Bytes written_file(const std::string& path) {
    std::optional<Bytes> bytes = platform::read_file(path);
    if (!bytes || bytes->empty()) {
        std::fprintf(stderr, "the terminal wrote no %s\n", path.c_str());
        std::exit(1);
    }
    return std::move(*bytes);
}

inline Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline Bytes slice(const Bytes& bytes, size_t from, size_t to) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(std::min(from, bytes.size())),
                 bytes.begin() + static_cast<std::ptrdiff_t>(std::min(to, bytes.size())));
}

template <class Value>
Bytes bytes_of(const Value& value) {
    const auto* first = reinterpret_cast<const uint8_t*>(&value);
    return Bytes(first, first + sizeof value);
}

inline Bytes unscrambled(Bytes bytes, const net::ConnectionKey& key) {
    net::ScrambleState state;
    net::unscramble_incoming(bytes, key, state);
    return bytes;
}

}  // namespace kb::fuzzing::seeds
