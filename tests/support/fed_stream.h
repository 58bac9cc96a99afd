#pragma once
#include <cstdint>
#include <vector>

#include "net/packet_stream.h"
#include "net/scramble.h"
#include "tests/support/socket_pair.h"

namespace kb::testing {

enum class Prescramble { No, Yes };

// Makes stream read bytes that a peer sent and then closed on: the stream gets key and
// adopts one end of a socket pair. With Prescramble::Yes the bytes are first scrambled
// as a peer sending them under key would, so they unscramble into the given bytes.
// Returns false when the bytes don't fit the pair's buffer.
inline bool feed_stream(net::PacketStream& stream, std::vector<uint8_t> bytes, const net::ConnectionKey& key,
                        Prescramble prescramble) {
    if (prescramble == Prescramble::Yes) {
        net::ScrambleState state;
        net::scramble_outgoing(bytes, key, state);
    }
    SocketPair pair;
    stream.set_key(key);
    stream.adopt(std::move(pair.reader));
    return pair.write_and_close(bytes);
}

}  // namespace kb::testing
