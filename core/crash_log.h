#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kb::core {

// The crash log that something outside the program may leave in "logs/crashlog.log".
// The program never writes it; after each login it uploads the file to the trade server
// and deletes it. Not thread-safe: the trade server thread alone uses it.
class CrashLog {
public:
    // The upload carries at most this many bytes, the start of the file.
    static constexpr size_t kUploadLimit = 128000;

    enum class Upload { Sent, Failed };

    explicit CrashLog(const std::string& program_folder);

    // "<program folder>/logs/crashlog.log"
    const std::string& path() const { return path_; }

    // The bytes to upload: the file's first kUploadLimit bytes. nullopt when there is
    // nothing to send: no file, an empty file (which is deleted here), or a read failure
    // (the file is kept).
    std::optional<std::vector<uint8_t>> prepare_upload() const;

    // Deletes the file once it was sent; a failed upload keeps it for the next login.
    void upload_finished(Upload result) const;

private:
    std::string path_;
};

}  // namespace kb::core
