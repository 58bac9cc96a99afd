// The history server's answers to synchronisation requests (command 9), read by the
// history centre's synchronisation thread into an open history: whatever comes, the
// thread ends, and the bars the charts get stay sound (see market_world.h).
//
// Input: byte 0 chooses the form of the bars (bit 0) and the history (the rest); the
// rest is what the server answers after the login, as the centre unscrambles it. Later
// logins of the same run are answered "nothing new", so the request is settled.
#include <cstdint>
#include <memory>
#include <thread>

#include "market_world.h"
#include "net/protocol.h"
#include "tests/fuzz/answering_peer.h"

using namespace kb;

namespace {

constexpr int kPeriods[] = {1, 60, 1440, 10080, 43200};
constexpr const char* kSymbols[] = {"EURUSD", "GOLD"};

class FuzzedLogin final : public session::HistoryServerLogin {
public:
    FuzzedLogin(const uint8_t* data, size_t size, market::BarForm form) : answer_(data, size), form_(form) {}

    session::HistoryLoginResult connect_and_log_in(net::PacketStream& stream) override {
        static const uint8_t kNothingNew[] = {net::code_byte(net::ReturnCode::OkNoResult)};
        peer_ = std::make_unique<fuzzing::AnsweringPeer>();
        peer_->answer(stream, first_ ? answer_ : std::span<const uint8_t>(kNothingNew));
        first_ = false;
        return {session::HistoryLoginResult::Status::LoggedIn, form_};
    }

private:
    std::span<const uint8_t> answer_;
    market::BarForm form_;
    bool first_ = true;
    std::unique_ptr<fuzzing::AnsweringPeer> peer_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1 << 20)) return 0;
    const market::BarForm form = data[0] & 1 ? market::BarForm::Wide28 : market::BarForm::Narrow22;
    const size_t which = (data[0] >> 1) % (std::size(kPeriods) * std::size(kSymbols));
    const std::string& folder = fuzzing::market_folder("syncfuzz");
    fuzzing::remove_server_files(folder);
    FuzzedLogin login(data + 1, size - 1, form);
    {
        fuzzing::MarketWorld world(folder, &login);
        world.center.synchronise(kSymbols[which % std::size(kSymbols)], kPeriods[which / std::size(kSymbols)]);
        while (world.center.synchronisation_running()) std::this_thread::yield();
        fuzzing::check_world(world);
    }
    return 0;
}
