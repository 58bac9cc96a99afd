#include "server/reply.h"

#include "net/block_writer.h"

namespace kb::server {

bool send_code(net::PacketStream& stream, net::ReturnCode code) { return stream.send_byte(net::code_byte(code)); }

bool send_block_reply(net::PacketStream& stream, net::ReturnCode code, std::span<const uint8_t> plain) {
    net::OutputBuffer& out = stream.output();
    out.reset();
    out.put_byte(net::code_byte(code));
    if (!net::put_compressed_block(out, plain)) {
        stream.close();
        return false;
    }
    return stream.send_output();
}

}  // namespace kb::server
