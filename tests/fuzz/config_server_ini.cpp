// server.ini loader: any bytes give a usable login record. The input is used both as the
// file itself and as the plain record (zero-padded, scrambled), so that short inputs reach
// the fields of a valid file too.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "config/login_record.h"
#include "net/scramble.h"

namespace {

void check(std::span<const uint8_t> file) {
    using namespace kb::config;
    LoginRecord record = parse_login_record(file, 1'700'000'000);
    if (record.version != kLoginRecordVersion || record.max_bars < 1 || record.password[15] != '\0' ||
        record.server[127] != '\0' || record.mode_in_effect != record.mode) {
        std::abort();
    }
    uint8_t image[sizeof(LoginRecord)];
    kb::platform::SeededRandom random(file.size());
    serialize_login_record(record, image, random);
    if (parse_login_record(image, 0).login != record.login) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    check(std::span(data, size));

    uint8_t shaped[sizeof(kb::config::LoginRecord)] = {};
    std::memcpy(shaped, data, std::min(size, sizeof shaped));
    const int32_t version = kb::config::kLoginRecordVersion;
    std::memcpy(shaped + offsetof(kb::config::LoginRecord, version), &version, sizeof version);
    kb::net::file_scramble(shaped);
    check(shaped);
    return 0;
}
