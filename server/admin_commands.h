#pragma once
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "server/command_line.h"
#include "server/server_config.h"
#include "server/storage.h"

namespace kb::server {

// What an admin command printed and whether it succeeded.
struct AdminResult {
    bool ok = false;
    std::string message;   // one line for stdout on success, for stderr on failure
};

// Runs create-account, deposit, post-news, send-mail, set-instrument or set-group against
// the database. Values are checked before anything is written; a failure changes nothing.
// secrets is what create-account read from standard input or its --password-file: the
// password on the first line, the investor password (when given) on the second. Callable
// from any thread (the storage serialises).
AdminResult run_admin_command(const CommandLine& line, const ServerConfig& config, Storage& storage,
                              platform::Clock& clock, std::string_view secrets = {});

}  // namespace kb::server
