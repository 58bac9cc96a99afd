#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/local_channel.h"

namespace kb::platform {

// The handshake through which the updater finds the terminal of one program folder.
// On the wire (a LocalMessage each way):
//   question {code = kFolderIdentityQuestion, value = the identity the asker expects}
//   answer   {code = kFolderIdentityMatch or kFolderIdentityMismatch,
//             value = the answering process id}
inline constexpr int32_t kFolderIdentityQuestion = 12345;
inline constexpr int32_t kFolderIdentityMatch = 12346;
inline constexpr int32_t kFolderIdentityMismatch = 1;

// The 32-bit identity of a program folder (FNV-1a of the path): two copies of the program
// in different folders get different values.
uint32_t folder_identity_value(std::string_view program_folder);
// "kestrelbay-folder-<uid>-<16 hex digits of the path's 64-bit FNV-1a>": the abstract
// socket on which the terminal of that folder answers.
std::string folder_socket_name(std::string_view program_folder);

// The terminal's side: answers the question for its program folder on its own thread.
// Owned by one thread; the destructor stops.
class FolderIdentityListener {
public:
    // False when another process already answers for this folder or the socket fails.
    bool start(const std::string& program_folder);
    void stop() { listener_.stop(); }

private:
    LocalListener listener_;
};

struct FolderIdentityAnswer {
    int32_t result = 0;       // kFolderIdentityMatch or kFolderIdentityMismatch
    int32_t process_id = 0;   // the terminal that answered
};

// The asking side: asks the terminal of program_folder whether identity is its own.
// nullopt when no terminal answers within timeout_ms. Any thread.
std::optional<FolderIdentityAnswer> ask_folder_identity(std::string_view program_folder, uint32_t identity,
                                                        int timeout_ms);

}  // namespace kb::platform
