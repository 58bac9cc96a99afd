#include "net/compressed_block.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/journal.h"
#include "net/block_writer.h"
#include "net/packet_stream.h"
#include "net/scramble.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "tests/support/fake_server.h"
#include "tests/support/socket_pair.h"
#include "tests/support/temp_folder.h"

namespace kb::net {
namespace {

using testing::Bytes;

constexpr size_t kLimit = 65536;

Bytes le32(int32_t value) {
    Bytes bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Text-like data that compresses a little but not to nothing.
Bytes sample_plain(size_t size) {
    Bytes plain(size);
    for (size_t i = 0; i < size; ++i) plain[i] = static_cast<uint8_t>("EURUSD 1.08412 "[i % 15] + (i / 97) % 7);
    return plain;
}

Bytes block_of(const Bytes& plain) {
    OutputBuffer out(0);
    EXPECT_TRUE(put_compressed_block(out, plain));
    return Bytes(out.data(), out.data() + out.size());
}

// The compressed size field of a block made by block_of().
int32_t compressed_size_of(const Bytes& block) {
    int32_t size = 0;
    std::memcpy(&size, block.data() + 4, 4);
    return size;
}

Bytes with_plain_size(Bytes block, int32_t plain_size) {
    std::memcpy(block.data(), &plain_size, 4);
    return block;
}

const ConnectionKey kKey = connection_key("block-test");

// A stream reading what the test writes, through a local socket pair, scrambled with a
// connection key as on a logged-in connection. The writing end stays open, so a read past
// the fed bytes would-block (no real waiting with the manual clock).
struct Pipe {
    testing::SocketPair pair;
    PacketStream stream;
    ScrambleState server_send;

    Pipe(core::Journal* journal, platform::Clock& clock) : stream(journal, clock) {
        stream.set_key(kKey);
        stream.adopt(std::move(pair.reader));
    }

    // Scrambles bytes as the server would and queues them for the stream.
    void feed(Bytes bytes) {
        scramble_outgoing(bytes, kKey, server_send);
        ASSERT_TRUE(pair.write(bytes));
    }
};

class CompressedBlockTest : public ::testing::Test {
protected:
    CompressedBlockTest() { platform::make_directory(folder_.file("logs")); }

    void feed(Bytes bytes) { pipe_.feed(std::move(bytes)); }

    // Everything the journal wrote so far.
    std::string journal_text() {
        journal_.flush();
        platform::DateTime today = clock_.local_time();
        auto bytes = platform::read_file(journal_.day_file_path(today.year, today.month, today.day));
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
    }

    // A journal line as written now: time prefix, text, CR LF.
    std::string line(const std::string& text) {
        platform::DateTime now = clock_.local_time();
        char prefix[16];
        std::snprintf(prefix, sizeof(prefix), "%02d:%02d:%02d ", now.hour, now.minute, now.second);
        return prefix + text + "\r\n";
    }

    testing::TempFolder folder_;
    platform::ManualClock clock_;
    core::Journal journal_{folder_.path(), clock_};
    Pipe pipe_{&journal_, clock_};
    PacketStream& stream_ = pipe_.stream;
};

TEST_F(CompressedBlockTest, EmptyBlockConsumesOnlyItsSizeField) {
    feed(le32(0) + Bytes{0x5a} + le32(0) + Bytes{0x6b});

    CompressedBlock block = read_compressed(stream_, kLimit);
    EXPECT_EQ(block.status, BlockStatus::Empty);
    EXPECT_EQ(block.bytes, nullptr);
    EXPECT_EQ(stream_.read_byte(), 0x5a);

    Bytes buffer(kLimit + kBlockSpareBytes);
    EXPECT_EQ(read_compressed_into(stream_, buffer, kLimit).status, BlockStatus::Empty);
    EXPECT_EQ(stream_.read_byte(), 0x6b);
    EXPECT_TRUE(stream_.is_open());
}

// Size checks fail before anything further is read: the bytes consumed show where the
// reader stopped, and none of them is worth a journal line.
TEST_F(CompressedBlockTest, SizeOutOfRangeClosesWithoutReadingFurther) {
    const Bytes valid = block_of(sample_plain(1000));
    const struct {
        const char* name;
        Bytes bytes;
        uint64_t consumed;
    } cases[] = {
        {"plain size one above the limit", with_plain_size(valid, kLimit + 1), 4},
        {"negative plain size", with_plain_size(valid, -1), 4},
        {"compressed size 0", le32(1000) + le32(0) + Bytes(16, 0), 8},
        {"negative compressed size", le32(1000) + le32(-5) + Bytes(16, 0), 8},
        {"compressed size twice the limit plus one", le32(1000) + le32(2 * kLimit + 1) + Bytes(16, 0), 8},
    };
    for (const auto& c : cases) {
        Pipe pipe(&journal_, clock_);
        pipe.feed(c.bytes);
        const uint64_t before = total_bytes_received();

        CompressedBlock block = read_compressed(pipe.stream, kLimit);

        EXPECT_EQ(block.status, BlockStatus::Failed) << c.name;
        EXPECT_FALSE(pipe.stream.is_open()) << c.name;
        EXPECT_EQ(total_bytes_received() - before, c.consumed) << c.name;
    }
    EXPECT_EQ(journal_text(), "");
}

TEST_F(CompressedBlockTest, DataWithoutEndMarkerIsRejectedBeforeDecoding) {
    Bytes block = block_of(sample_plain(3000));
    const int32_t compressed_size = compressed_size_of(block);
    block.back() = 1;   // the marker's last byte
    feed(block);

    EXPECT_EQ(read_compressed(stream_, kLimit).status, BlockStatus::Failed);
    EXPECT_FALSE(stream_.is_open());
    EXPECT_EQ(journal_text(),
              line("Compressor: invalid decompress block [" + std::to_string(compressed_size) + " bytes]"))
        << "no decoding attempt may follow the marker check";
}

TEST_F(CompressedBlockTest, DataShorterThanTheEndMarkerIsRejected) {
    feed(le32(100) + le32(2) + Bytes{0, 0});

    EXPECT_EQ(read_compressed(stream_, kLimit).status, BlockStatus::Failed);
    EXPECT_EQ(journal_text(), line("Compressor: invalid decompress block [2 bytes]"));
}

TEST_F(CompressedBlockTest, DecodedLengthOtherThanAnnouncedIsRejected) {
    const Bytes block = block_of(sample_plain(5000));
    const std::string compressed = std::to_string(compressed_size_of(block));
    for (int32_t announced : {4999, 5001}) {
        for (bool into : {false, true}) {
            Pipe pipe(&journal_, clock_);
            pipe.feed(with_plain_size(block, announced));
            Bytes buffer(kLimit + kBlockSpareBytes);

            BlockStatus status = into ? read_compressed_into(pipe.stream, buffer, kLimit).status
                                      : read_compressed(pipe.stream, kLimit).status;

            EXPECT_EQ(status, BlockStatus::Failed) << announced << " into " << into;
            EXPECT_FALSE(pipe.stream.is_open());
        }
    }
    const std::string line_4999 = line("ReadCompressed: decoding failed (" + compressed + " -> 4999 bytes)");
    const std::string line_5001 = line("ReadCompressed: decoding failed (" + compressed + " -> 5001 bytes)");
    EXPECT_EQ(journal_text(), line_4999 + line_4999 + line_5001 + line_5001);
}

TEST_F(CompressedBlockTest, WrittenBlocksReadBackWithSpareBytes) {
    const size_t sizes[] = {1, 15, 4096, 40000, kLimit};
    for (size_t size : sizes) feed(block_of(sample_plain(size)));
    feed(block_of(sample_plain(kLimit)));

    for (size_t size : sizes) {
        CompressedBlock block = read_compressed(stream_, kLimit);
        ASSERT_EQ(block.status, BlockStatus::Data) << size;
        ASSERT_EQ(block.size, size);
        EXPECT_EQ(Bytes(block.bytes.get(), block.bytes.get() + size), sample_plain(size));
        // The spare bytes belong to the caller (a sanitizer build checks the bound).
        std::memset(block.bytes.get() + size, 0, kBlockSpareBytes);
    }
    Bytes buffer(kLimit + kBlockSpareBytes);
    BlockRead read = read_compressed_into(stream_, buffer, kLimit);
    ASSERT_EQ(read.status, BlockStatus::Data);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(read.size)), sample_plain(kLimit));
    EXPECT_TRUE(stream_.is_open());
    EXPECT_EQ(journal_text(), "");
}

TEST_F(CompressedBlockTest, IncompressibleDataAtTheLimitReadsBack) {
    Bytes plain(kLimit);
    uint32_t seed = 12345;
    for (uint8_t& byte : plain) byte = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    Bytes block = block_of(plain);
    ASSERT_GT(compressed_size_of(block), static_cast<int32_t>(kLimit));   // still within 2 x limit
    feed(block);

    CompressedBlock read = read_compressed(stream_, kLimit);
    ASSERT_EQ(read.status, BlockStatus::Data);
    EXPECT_EQ(Bytes(read.bytes.get(), read.bytes.get() + read.size), plain);
}

TEST_F(CompressedBlockTest, TooSmallBufferIsRefusedBeforeReading) {
    feed(block_of(sample_plain(100)));
    Bytes buffer(kLimit + kBlockSpareBytes - 1);
    const uint64_t before = total_bytes_received();

    EXPECT_EQ(read_compressed_into(stream_, buffer, kLimit).status, BlockStatus::Failed);
    EXPECT_EQ(total_bytes_received(), before);
    EXPECT_FALSE(stream_.is_open()) << "the unread block would leave the stream out of step";
}

// Damaged LZO data must never take the reader outside its buffers: every outcome is either
// the announced size or a closed stream with a decoding line.
TEST_F(CompressedBlockTest, CorruptedDataIsRejectedOrDecodedToTheAnnouncedSize) {
    const Bytes plain = sample_plain(20000);
    const Bytes valid = block_of(plain);
    const size_t data_size = static_cast<size_t>(compressed_size_of(valid));
    int rejected = 0;
    uint32_t seed = 99;
    for (int round = 0; round < 300; ++round) {
        Bytes block = valid;
        for (int flips = 0; flips < 1 + round % 4; ++flips) {
            seed = seed * 1664525u + 1013904223u;
            size_t at = 8 + (seed >> 8) % (data_size - 3);   // the end marker stays intact
            block[at] ^= static_cast<uint8_t>(1 + (seed & 0x7f));
        }
        Pipe pipe(nullptr, clock_);
        pipe.feed(block);

        CompressedBlock read = read_compressed(pipe.stream, plain.size());
        if (read.ok()) {
            EXPECT_EQ(read.size, plain.size());
            EXPECT_TRUE(pipe.stream.is_open());
        } else {
            EXPECT_FALSE(pipe.stream.is_open());
            ++rejected;
        }
    }
    EXPECT_GT(rejected, 0);
}

// A clock whose pauses take no time and can make something happen at a chosen pause.
class PauseHookClock final : public platform::Clock {
public:
    uint32_t tick_ms() override { return tick_; }
    int64_t unix_time() override { return 1'700'000'000; }
    platform::DateTime local_time() override { return platform::utc_calendar(unix_time()); }
    void sleep_ms(uint32_t ms) override {
        tick_ += ms;
        ++pauses;
        if (pauses == hook_at && hook) hook();
    }

    int pauses = 0;
    int hook_at = 0;
    std::function<void()> hook;

private:
    uint32_t tick_ = 0;
};

// The server sends the block's sizes, then stalls before the data. Nine 100 ms pauses are
// the most a read waits; the data arriving during the ninth still counts.
TEST(CompressedBlockStall, DataArrivingWithinNinePausesIsRead) {
    for (bool arrives : {true, false}) {
        const Bytes plain = sample_plain(5000);
        const Bytes block = block_of(plain);
        const ConnectionKey key = connection_key("stall");
        testing::FakeServer server;
        server.use_key(key)
            .send(Bytes(block.begin(), block.begin() + 8))
            .stall(5000)
            .send(Bytes(block.begin() + 8, block.end()));
        server.start();

        PauseHookClock clock;
        PacketStream stream(nullptr, clock);
        ASSERT_TRUE(stream.connect(server.address(), 443));
        stream.set_key(key);
        ASSERT_TRUE(server.wait_for_steps(2));   // the sizes are on their way before the read starts
        if (arrives) {
            clock.hook_at = 9;
            clock.hook = [&] {
                server.release();
                server.wait_for_steps(4);
            };
        }

        CompressedBlock read = read_compressed(stream, kLimit);

        if (arrives) {
            ASSERT_EQ(read.status, BlockStatus::Data);
            EXPECT_EQ(Bytes(read.bytes.get(), read.bytes.get() + read.size), plain);
            EXPECT_EQ(clock.pauses, 9);
            server.finish();
            EXPECT_TRUE(server.all_matched()) << server.report();
        } else {
            EXPECT_EQ(read.status, BlockStatus::Failed);
            EXPECT_FALSE(stream.is_open());
            EXPECT_EQ(clock.pauses, 9) << "the tenth would-block fails without a pause";
            server.release();
        }
        server.finish();
    }
}

}  // namespace
}  // namespace kb::net
