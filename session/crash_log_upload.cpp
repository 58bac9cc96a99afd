#include "session/crash_log_upload.h"

#include <optional>
#include <vector>

#include "core/crash_log.h"
#include "net/packet_stream.h"

namespace kb::session {

net::ReturnCode upload_crash_log(net::PacketStream& stream, const core::CrashLog& log) {
    std::optional<std::vector<uint8_t>> bytes = log.prepare_upload();
    if (!bytes) return net::ReturnCode::Ok;
    net::OutputBuffer& out = stream.output();
    out.reset();
    out.put_command(net::Command::CrashLog);
    out.put_u32(static_cast<uint32_t>(bytes->size()));
    out.put_bytes(bytes->data(), bytes->size());
    if (!stream.send_output()) {
        log.upload_finished(core::CrashLog::Upload::Failed);
        return net::ReturnCode::CommonError;
    }
    log.upload_finished(core::CrashLog::Upload::Sent);
    return net::ReturnCode::Ok;
}

}  // namespace kb::session
