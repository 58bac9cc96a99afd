#pragma once
// What the fuzz targets share: their check and their working folder.
#include <cstdlib>
#include <string>
#include <vector>

#include "net/packet_stream.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/random_access_file.h"
#include "tests/support/fed_stream.h"

namespace kb::fuzzing {

inline void check(bool condition) {
    if (!condition) __builtin_trap();
}

// A fresh "<temp>/<prefix>..." folder, made once per process. The stores sync every file
// they write; on a memory file system that costs nothing, so the temporary folder goes
// there when the machine has one and nobody chose another.
inline const std::string& scratch_folder(const char* prefix) {
    static const std::string path = [prefix] {
        if (platform::directory_exists("/dev/shm")) setenv("TMPDIR", "/dev/shm", 0);
        std::string folder = platform::make_temporary_file(prefix);
        platform::remove_file(folder);
        platform::make_directory(folder);
        return folder;
    }();
    return path;
}

// A stream that reads the fuzz input and then the end of its connection; its would-block
// pauses cost no time.
struct FedInput {
    net::PacketStream stream{nullptr, clock()};

    FedInput(const uint8_t* data, size_t size, testing::Prescramble prescramble) {
        testing::feed_stream(stream, std::vector<uint8_t>(data, data + size), {}, prescramble);
    }
    static platform::Clock& clock() {
        static platform::ManualClock manual;
        return manual;
    }
};

}  // namespace kb::fuzzing
