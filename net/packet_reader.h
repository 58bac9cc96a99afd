#pragma once
#include <cstddef>
#include <cstdint>

namespace kb::core {
class Journal;
}

namespace kb::net {

// Where the decoders of messages read from: the plain (unscrambled) bytes of one
// connection. PacketStream is the one used on the wire; a decoder neither knows nor cares
// that a socket lies behind it. Used by one thread at a time.
class PacketReader {
public:
    virtual ~PacketReader() = default;

    // Reads exactly n bytes; false, with the reader closed, on failure.
    virtual bool read(void* bytes, size_t n) = 0;
    // Ends the connection; decoders call it when a message can't be read to its end, as
    // whatever follows it would be misread.
    virtual void close() = 0;
    // Where faults of decoding are journaled; may be null.
    virtual core::Journal* journal() const = 0;

    // Little-endian values through read().
    uint8_t read_byte();                          // 6 ("No connection") on failure
    bool read_u16(uint16_t& value) { return read(&value, sizeof value); }
    bool read_i32(int32_t& value) { return read(&value, sizeof value); }
    bool read_u32(uint32_t& value) { return read(&value, sizeof value); }
    bool read_double(double& value) { return read(&value, sizeof value); }
    // Reads n bytes into a fixed text field and forces its last byte to NUL (also when
    // the read fails).
    bool read_fixed_text(char* field, size_t n);
};

}  // namespace kb::net
