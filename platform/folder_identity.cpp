#include "platform/folder_identity.h"

#include <unistd.h>

#include <cstdio>

namespace kb::platform {

namespace {

uint64_t fnv1a_64(std::string_view text) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : text) hash = (hash ^ c) * 0x100000001b3ull;
    return hash;
}

uint32_t fnv1a_32(std::string_view text) {
    uint32_t hash = 0x811c9dc5u;
    for (unsigned char c : text) hash = (hash ^ c) * 0x01000193u;
    return hash;
}

}  // namespace

uint32_t folder_identity_value(std::string_view program_folder) { return fnv1a_32(program_folder); }

std::string folder_socket_name(std::string_view program_folder) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(fnv1a_64(program_folder)));
    return "kestrelbay-folder-" + std::to_string(::getuid()) + "-" + hex;
}

bool FolderIdentityListener::start(const std::string& program_folder) {
    const auto own = static_cast<int32_t>(folder_identity_value(program_folder));
    return listener_.start(folder_socket_name(program_folder),
                           [own](const LocalMessage& question) -> std::optional<LocalMessage> {
                               if (question.code != kFolderIdentityQuestion) return std::nullopt;
                               int32_t result = question.value == own ? kFolderIdentityMatch : kFolderIdentityMismatch;
                               return LocalMessage{result, static_cast<int32_t>(::getpid())};
                           });
}

std::optional<FolderIdentityAnswer> ask_folder_identity(std::string_view program_folder, uint32_t identity,
                                                        int timeout_ms) {
    std::optional<LocalMessage> reply = ask_local(
        folder_socket_name(program_folder),
        LocalMessage{kFolderIdentityQuestion, static_cast<int32_t>(identity)}, timeout_ms);
    if (!reply) return std::nullopt;
    return FolderIdentityAnswer{reply->code, reply->value};
}

}  // namespace kb::platform
