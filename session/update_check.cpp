#include "session/update_check.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "config/server_list.h"
#include "core/build_info.h"
#include "core/journal.h"
#include "net/packet_stream.h"
#include "platform/files.h"
#include "platform/process.h"

namespace kb::session {

namespace {

constexpr size_t kCompanyLengthLimit = 255;

bool send_query(net::PacketStream& stream, std::string_view company) {
    const size_t length = std::min(company.size(), kCompanyLengthLimit);
    net::OutputBuffer& out = stream.output();
    out.reset();
    out.put_command(net::Command::UpdateQuery);
    out.put_byte(kTerminalKind);
    out.put_u32(core::kProgramVersion);
    out.put_u32(core::kProgramBuild);
    out.put_byte(static_cast<uint8_t>(length));
    out.put_bytes(company.data(), length);
    return stream.send_output();
}

}  // namespace

std::string updater_server(config::ServerList& servers, std::string_view server_name, const net::PacketStream& stream) {
    std::optional<config::ServerEntry> entry = servers.find_copy(server_name);
    if (!entry) return std::string(server_name);
    if (!entry->selected_address().empty()) return std::string(entry->selected_address());
    return stream.server_text();
}

std::string hand_off_text(const UpdateCheck& check, std::string_view server, int32_t new_version, int32_t new_build) {
    std::string text;
    auto line = [&text](std::string_view key, std::string_view value) {
        text.append(key).append("=").append(value).append("\n");
    };
    line("owner", check.company);
    line("program", kProductName);
    // The terminal's executable under its name on this platform, "terminal".
    line("mainfile", kTerminalExecutable);
    line("server", server);
    line("login", std::to_string(check.login));
    line("type", std::to_string(kTerminalKind));
    line("version", std::to_string(core::kProgramVersion));
    line("build", std::to_string(core::kProgramBuild));
    line("detected_version", std::to_string(new_version));
    line("detected_build", std::to_string(new_build));
    return text;
}

net::ReturnCode check_for_update(net::PacketStream& stream, const UpdateCheck& check, config::ServerList& servers,
                                 core::Journal& journal, platform::ProcessStarter& starter) {
    const std::string updater = platform::join_path(check.program_folder, kUpdaterExecutable);
    if (!platform::file_exists(updater)) return net::ReturnCode::Ok;

    if (!send_query(stream, check.company)) return net::ReturnCode::NoConnection;
    const net::ReturnCode code = stream.read_code();
    if (code != net::ReturnCode::Ok) return code;
    int32_t version = 0;
    int32_t build = 0;
    if (!stream.read_i32(version) || !stream.read_i32(build)) return net::ReturnCode::NoConnection;

    journal.write(core::Level::Info, "Refreshkit: new version %d.%02d build %d is available", version / 100,
                  version % 100, build);
    const std::string text = hand_off_text(check, updater_server(servers, check.server_name, stream), version, build);
    const std::string path = platform::join_path(check.program_folder, kHandOffFile);
    if (!platform::write_file_atomic(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())))
        return code;
    starter.start_detached({updater});
    return code;
}

}  // namespace kb::session
