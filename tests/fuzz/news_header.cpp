// News headers as a server pushes them, one after another until the stream closes. A
// header read must carry terminated texts and a body of exactly its body length, or a
// body that comes later; a refused one closes the stream.
#include <cstdint>
#include <vector>

#include "net/packet_stream.h"
#include "messaging/news_header_packet.h"
#include "tests/fuzz/fuzz_support.h"

using namespace kb;
using fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) return 0;
    fuzzing::FedInput input(data, size, testing::Prescramble::Yes);
    net::PacketStream& stream = input.stream;
    while (stream.is_open()) {
        std::optional<messaging::ReceivedNews> news = messaging::read_news_header(stream);
        if (!news) {
            check(!stream.is_open());
            break;
        }
        const messaging::NewsRecord& record = news->record;
        check(record.subject[sizeof record.subject - 1] == '\0');
        check(record.keywords[sizeof record.keywords - 1] == '\0');
        check(record.parameters[sizeof record.parameters - 1] == '\0');
        check(record.time_text[sizeof record.time_text - 1] == '\0');
        if (record.body_length > 0) check(news->body.size() == static_cast<size_t>(record.body_length));
        else check(news->body.empty() && (record.body_length == 0 || record.body_length == messaging::kBodyNotReceived));
    }
    return 0;
}
