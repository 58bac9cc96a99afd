#include "core/fixed_text.h"
#include "net/block_writer.h"
#include "net/server_info.h"
#include "server/client_session.h"
#include "server/reply.h"
#include "server/session_commands.h"

namespace kb::server {

namespace {

constexpr int32_t kNeverMeasured = 1000000000;

}  // namespace

HandlerResult handle_server_information(ClientSession& session) {
    const ServerContext& context = session.context();
    net::ServerInformation info;
    info.head.trade_value = static_cast<uint16_t>(context.config.reported_build());
    info.head.protocol_version = static_cast<uint16_t>(context.config.server.protocol_version);
    if (!context.access_point.empty()) {
        net::AccessPointRecord point{};
        core::set_field_text(point.address, context.access_point);
        core::set_field_text(point.description, context.config.server.company);
        point.time_ms = kNeverMeasured;
        info.access_points.push_back(point);
    }
    core::set_field_text(info.tail.server_name, context.config.server.name);
    core::set_field_text(info.tail.text, context.config.server.company);
    const std::vector<uint8_t> block = net::build_server_information(info);

    net::PacketStream& stream = session.stream();
    net::OutputBuffer& out = stream.output();
    out.reset();
    out.put_byte(net::code_byte(net::ReturnCode::Ok));
    out.put_byte(0);   // passed on by the client, no meaning here
    if (!net::put_compressed_block(out, block)) return HandlerResult::Close;
    return stream.send_output() ? HandlerResult::Continue : HandlerResult::Close;
}

}  // namespace kb::server
