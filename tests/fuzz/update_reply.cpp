// The server's answer to the update query. Only code 0 with both numbers hands off to the
// updater (one start, with the hand-off file written); any other answer starts nothing.
//
// Input: the server's answer as the terminal unscrambles it.
#include <cstdint>

#include "config/server_list.h"
#include "core/journal.h"
#include "net/packet_stream.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "session/update_check.h"
#include "tests/fuzz/answering_peer.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/recording_process_starter.h"

using namespace kb;

namespace {

struct Harness {
    platform::ManualClock clock;
    std::string folder = fuzzing::scratch_folder("updatefuzz");
    core::Journal journal{folder, clock};
    config::ServerList servers{folder, clock, platform::system_random(), nullptr};
    session::UpdateCheck check{folder, "Fuzz Company", 1001, "Demo"};

    Harness() {
        platform::make_directory(folder + "/profiles");
        platform::make_directory(folder + "/logs");
        const uint8_t program[] = {'#', '!'};
        platform::write_file_atomic(platform::join_path(folder, session::kUpdaterExecutable), program);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    static Harness h;
    net::PacketStream stream(nullptr, h.clock);
    fuzzing::AnsweringPeer peer;
    peer.answer(stream, {data, size});
    testing::RecordingProcessStarter starter;
    const net::ReturnCode code = session::check_for_update(stream, h.check, h.servers, h.journal, starter);
    fuzzing::check(starter.started().size() <= (code == net::ReturnCode::Ok ? 1u : 0u));
    if (!starter.started().empty()) fuzzing::check(size >= 9 && data[0] == 0);
    return 0;
}
