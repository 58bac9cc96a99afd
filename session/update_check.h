#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "net/protocol.h"

namespace kb::core {
class Journal;
}
namespace kb::config {
class ServerList;
}
namespace kb::net {
class PacketStream;
}
namespace kb::platform {
class ProcessStarter;
}

namespace kb::session {

// The update query a session asks once per run of its trade server thread, and the
// hand-off to the updater when the server knows a newer build.
//
// Request (one scrambled packet): 15, kind 4, version 400 (uint32), build 445 (uint32),
// the company name's length (one byte, at most 255) and its bytes. Reply: a code byte;
// code 0 is followed by the new version and the new build (int32 each), code 1 means the
// terminal is current.

inline constexpr uint8_t kTerminalKind = 4;
inline constexpr std::string_view kProductName = "Kestrelbay 4";
// The platform's names of the terminal's and the updater's executables.
inline constexpr std::string_view kTerminalExecutable = "terminal";
inline constexpr std::string_view kUpdaterExecutable = "refreshkit";
// The hand-off file, relative to the program folder.
inline constexpr std::string_view kHandOffFile = "profiles/refreshkit.ini";

struct UpdateCheck {
    std::string program_folder;
    std::string company;          // the branding's company name
    int32_t login = 0;            // of the login record
    std::string server_name;      // of the login record
};

// The server text the updater connects to: the selected access point of a known server,
// the connection's own "host:port" for a known server without one, else the name itself.
std::string updater_server(config::ServerList& servers, std::string_view server_name, const net::PacketStream& stream);

// The ten lines of the hand-off file.
std::string hand_off_text(const UpdateCheck& check, std::string_view server, int32_t new_version, int32_t new_build);

// Runs the check on a logged-in stream. Without the updater executable in the program
// folder nothing is sent and Ok is returned. Otherwise returns the reply code (NoConnection
// when the transfer failed, which has closed the stream). On code 0 journals the new version,
// writes the hand-off file and starts the updater without waiting; failures of those two
// are silent. Called from the stream's thread.
net::ReturnCode check_for_update(net::PacketStream& stream, const UpdateCheck& check, config::ServerList& servers,
                                 core::Journal& journal, platform::ProcessStarter& starter);

}  // namespace kb::session
