#include "server/client_session.h"
#include "server/reply.h"
#include "server/session_commands.h"

namespace kb::server {

HandlerResult handle_update_query(ClientSession& session) {
    net::PacketStream& stream = session.stream();
    uint8_t kind = 0;
    uint32_t version = 0;
    uint32_t build = 0;
    uint8_t company_length = 0;
    char company[255];
    if (!stream.read(&kind, 1) || !stream.read_u32(version) || !stream.read_u32(build) ||
        !stream.read(&company_length, 1) || (company_length && !stream.read(company, company_length)))
        return HandlerResult::Close;
    const UpdateConfig& newest = session.context().config.update;
    const bool newer = static_cast<uint32_t>(newest.version) > version ||
                       (static_cast<uint32_t>(newest.version) == version && static_cast<uint32_t>(newest.build) > build);
    if (!newer) return send_code(stream, net::ReturnCode::OkNoResult) ? HandlerResult::Continue : HandlerResult::Close;
    net::OutputBuffer& out = stream.output();
    out.reset();
    out.put_byte(net::code_byte(net::ReturnCode::Ok));
    out.put_i32(newest.version);
    out.put_i32(newest.build);
    return stream.send_output() ? HandlerResult::Continue : HandlerResult::Close;
}

}  // namespace kb::server
