#include "core/system_info.h"

#include <cstdio>

#include "core/utf8_cut.h"
#include "platform/system_info.h"

namespace kb::core {

std::string country_name() {
    return std::string(cut_utf8(platform::user_country_name(), kCountryNameLimit));
}

std::string os_version_text() {
    platform::KernelVersion version = platform::kernel_version();
    char text[64];
    std::snprintf(text, sizeof text, "Linux %d.%d", version.major, version.minor);
    return text;
}

}  // namespace kb::core
