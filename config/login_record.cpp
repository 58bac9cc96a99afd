#include "config/login_record.h"

#include <cstring>

#include "core/fixed_text.h"
#include "net/scramble.h"

namespace kb::config {

LoginRecord default_login_record(int64_t now) {
    LoginRecord record{};
    record.version = kLoginRecordVersion;
    record.max_bars = kDefaultMaxBars;
    record.server_chosen = 1;
    record.keep_personal_data = 1;
    record.option_500 = 1;
    record.enable_news = 1;
    record.created_time = static_cast<int32_t>(now);
    return record;
}

LoginRecord parse_login_record(std::span<const uint8_t> bytes, int64_t now) {
    LoginRecord record{};
    if (bytes.size() >= sizeof record) {
        uint8_t image[sizeof record];
        std::memcpy(image, bytes.data(), sizeof image);
        net::file_unscramble(image);
        std::memcpy(&record, image, sizeof record);
    }
    if (record.version != kLoginRecordVersion) {
        record = default_login_record(now);
    } else if (record.max_bars < 1) {
        record.max_bars = kDefaultMaxBars;
    }
    record.mode_in_effect = record.mode;
    core::terminate_field(record.password);
    core::terminate_field(record.server);
    core::terminate_field(record.account_server);
    return record;
}

void serialize_login_record(const LoginRecord& record, std::span<uint8_t, sizeof(LoginRecord)> out,
                            platform::Random& random) {
    LoginRecord copy = record;
    copy.version = kLoginRecordVersion;
    if (copy.keep_personal_data == 0) {
        // Nothing of the password stays, and the file changes from save to save.
        copy.password[0] = '\0';
        for (size_t i = 1; i < sizeof copy.password; ++i) copy.password[i] = static_cast<char>(random.next());
    }
    std::memcpy(out.data(), &copy, sizeof copy);
    net::file_scramble(out);
}

}  // namespace kb::config
