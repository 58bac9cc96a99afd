#pragma once
#include "net/protocol.h"

namespace kb::core {
class CrashLog;
}
namespace kb::net {
class PacketStream;
}

namespace kb::session {

// Sends the crash log on a logged-in trade server stream as one packet: command 5, the
// length (uint32) and the bytes; no reply is read. Returns Ok when it was sent (the file
// is then deleted) or there was nothing to send, CommonError when sending failed (the
// file is kept for the next login). Called from the stream's thread.
net::ReturnCode upload_crash_log(net::PacketStream& stream, const core::CrashLog& log);

}  // namespace kb::session
