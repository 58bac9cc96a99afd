#include "server/client_session.h"
#include "server/message_packets.h"
#include "server/session_commands.h"

namespace kb::server {

HandlerResult handle_news_body(ClientSession& session) {
    net::PacketStream& stream = session.stream();
    uint32_t id = 0;
    if (!stream.read_u32(id)) return HandlerResult::Close;
    const std::optional<NewsRow> news = session.context().storage.news(id);
    net::OutputBuffer& out = stream.output();
    out.reset();
    if (!put_news_body(out, id, news ? news->body : std::string())) return HandlerResult::Close;
    return stream.send_output() ? HandlerResult::Continue : HandlerResult::Close;
}

}  // namespace kb::server
