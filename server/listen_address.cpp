#include "server/listen_address.h"

namespace kb::server {

std::optional<ListenAddress> parse_listen_address(const std::string& text) {
    size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return std::nullopt;
    std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    uint32_t port = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + static_cast<uint32_t>(c - '0');
    }
    if (port < 1 || port > 65535) return std::nullopt;
    return ListenAddress{text.substr(0, colon), static_cast<uint16_t>(port)};
}

}  // namespace kb::server
