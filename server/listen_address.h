#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace kb::server {

struct ListenAddress {
    std::string host;
    uint16_t port = 0;
};

// "HOST:PORT" with a non-empty host and a port of 1..65535 (decimal digits only);
// nullopt for anything else.
std::optional<ListenAddress> parse_listen_address(const std::string& text);

}  // namespace kb::server
