#include "net/packet_reader.h"

#include "net/protocol.h"

namespace kb::net {

uint8_t PacketReader::read_byte() {
    uint8_t value = 0;
    return read(&value, 1) ? value : code_byte(ReturnCode::NoConnection);
}

bool PacketReader::read_fixed_text(char* field, size_t n) {
    if (n == 0) return true;
    bool ok = read(field, n);
    field[n - 1] = '\0';
    return ok;
}

}  // namespace kb::net
