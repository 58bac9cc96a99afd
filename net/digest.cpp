#include "net/digest.h"

#include <openssl/evp.h>

namespace kb::net {

Md5Digest md5(std::span<const uint8_t> bytes) {
    Md5Digest digest{};
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_md5(), nullptr);
    return digest;
}

Md5Digest md5(std::string_view text) {
    return md5(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace kb::net
