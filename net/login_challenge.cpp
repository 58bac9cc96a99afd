#include "net/login_challenge.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "net/base64.h"
#include "net/digest.h"
#include "net/login_packet.h"

namespace kb::net {

namespace {

constexpr size_t kAnswerBytes = 42;
constexpr size_t kComplexBytesUsed = 10;

// MD5 over the challenge followed by the given parts, each appended in order.
class ChallengeDigest {
public:
    explicit ChallengeDigest(const LoginChallenge& challenge) : bytes_(challenge.begin(), challenge.end()) {}
    ChallengeDigest& text(std::string_view part) {
        bytes_.insert(bytes_.end(), part.begin(), part.end());
        return *this;
    }
    ChallengeDigest& key(const ConnectionKey& key) {
        bytes_.insert(bytes_.end(), key.begin(), key.end());
        return *this;
    }
    ChallengeDigest& u16(uint16_t value) {
        bytes_.push_back(static_cast<uint8_t>(value));
        bytes_.push_back(static_cast<uint8_t>(value >> 8));
        return *this;
    }
    Md5Digest digest() const { return md5(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

std::array<uint8_t, kAnswerBytes> answer_bytes(const LoginChallenge& challenge, const ConnectionKey& key,
                                              uint16_t build) {
    Md5Digest build_part = ChallengeDigest(challenge).text("KBBuild").u16(build).digest();
    Md5Digest type_part = ChallengeDigest(challenge).text("KBType").key(key).digest();
    Md5Digest complex_part = ChallengeDigest(challenge).text("KBLogin").key(key).text("KBComplex").digest();
    std::array<uint8_t, kAnswerBytes> out{};
    auto next = std::copy(build_part.begin(), build_part.end(), out.begin());
    next = std::copy(type_part.begin(), type_part.end(), next);
    std::copy_n(complex_part.begin(), kComplexBytesUsed, next);
    return out;
}

}  // namespace

std::string login_challenge_answer(const LoginChallenge& challenge, const ConnectionKey& key, uint16_t build) {
    return base64_encode(answer_bytes(challenge, key, build));
}

bool login_challenge_answer_matches(const LoginChallenge& challenge, const ConnectionKey& key, uint16_t build,
                                    std::string_view answer) {
    if (answer.size() != kLoginChallengeAnswerSize) return false;
    std::optional<std::vector<uint8_t>> decoded = base64_decode(answer);
    if (!decoded) return false;
    std::array<uint8_t, kAnswerBytes> expected = answer_bytes(challenge, key, build);
    return std::equal(decoded->begin(), decoded->end(), expected.begin(), expected.end());
}

ReturnCode answer_login_challenge(PacketStream& stream) {
    LoginChallenge challenge{};
    if (!stream.read(challenge.data(), challenge.size())) return ReturnCode::NoConnection;
    std::string answer = login_challenge_answer(challenge, stream.key(), kProgramBuild);
    if (!stream.send_packet(reinterpret_cast<uint8_t*>(answer.data()), answer.size())) return ReturnCode::NoConnection;
    return stream.read_code();
}

ReturnCode challenge_login(PacketStream& stream, const LoginChallenge& challenge, uint16_t client_build) {
    LoginChallenge sent = challenge;
    if (!stream.send_packet(sent.data(), sent.size())) return ReturnCode::NoConnection;
    std::string answer(kLoginChallengeAnswerSize, '\0');
    if (!stream.read(answer.data(), answer.size())) return ReturnCode::NoConnection;
    ReturnCode code = login_challenge_answer_matches(challenge, stream.key(), client_build, answer)
                          ? ReturnCode::Ok
                          : ReturnCode::CommonError;
    uint8_t reply = code_byte(code);
    if (!stream.send_packet(&reply, 1)) return ReturnCode::NoConnection;
    return code;
}

}  // namespace kb::net
