#include "core/crash_log.h"

#include <algorithm>

#include "platform/file_head.h"
#include "platform/files.h"

namespace kb::core {

CrashLog::CrashLog(const std::string& program_folder)
    : path_(platform::join_path(program_folder, "logs/crashlog.log")) {}

std::optional<std::vector<uint8_t>> CrashLog::prepare_upload() const {
    if (!platform::file_exists(path_)) return std::nullopt;
    int64_t size = platform::file_size(path_);
    if (size <= 0) {
        platform::remove_file(path_);
        return std::nullopt;
    }
    size_t wanted = std::min(static_cast<size_t>(size), kUploadLimit);
    auto bytes = platform::read_file_head(path_, wanted);
    if (!bytes || bytes->size() != wanted) return std::nullopt;
    return bytes;
}

void CrashLog::upload_finished(Upload result) const {
    if (result == Upload::Sent) platform::remove_file(path_);
}

}  // namespace kb::core
