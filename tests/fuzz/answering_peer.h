#pragma once
// A stream whose peer has already answered: the fuzz bytes are waiting to be read, then
// the connection ends, while whatever the stream sends is taken and dropped. Lets a
// reader that first sends its request read a reply of any shape without a server.
#include <sys/socket.h>

#include <cstdint>
#include <span>
#include <vector>

#include "net/packet_stream.h"
#include "net/scramble.h"
#include "tests/support/socket_pair.h"

namespace kb::fuzzing {

// The peer end stays open for the stream's sends until the object goes.
class AnsweringPeer {
public:
    // The reply is scrambled as a peer sending it under key from a fresh state would, so
    // that the stream reads the given bytes (a login resets the states after its packet).
    // False when the reply does not fit the pair's buffer; the stream then reads a part.
    bool answer(net::PacketStream& stream, std::span<const uint8_t> reply, const net::ConnectionKey& key = {}) {
        std::vector<uint8_t> bytes(reply.begin(), reply.end());
        net::ScrambleState state;
        net::scramble_outgoing(bytes, key, state);
        stream.set_key(key);
        stream.reset_scrambling();   // a fresh connection, as after a login
        stream.adopt(std::move(pair_.reader));
        const bool written = pair_.write(bytes);
        ::shutdown(pair_.writer.native_handle(), SHUT_WR);
        return written;
    }

private:
    testing::SocketPair pair_{1 << 20};
};

}  // namespace kb::fuzzing
