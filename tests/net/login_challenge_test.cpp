#include "net/login_challenge.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <string>
#include <vector>

#include "net/base64.h"
#include "net/scramble.h"

namespace kb::net {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes to_bytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

TEST(Base64, EncodesTheRfc4648Vectors) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (auto [plain, encoded] : cases) {
        EXPECT_EQ(base64_encode(to_bytes(plain)), encoded) << plain;
        std::optional<Bytes> decoded = base64_decode(encoded);
        ASSERT_TRUE(decoded.has_value()) << encoded;
        EXPECT_EQ(*decoded, to_bytes(plain)) << encoded;
    }
}

TEST(Base64, UsesTheWholeAlphabet) {
    Bytes bytes = {0x00, 0x10, 0x83, 0x10, 0x51, 0x87, 0x20, 0x92, 0x8b, 0x30, 0xd3, 0x8f,
                   0x41, 0x14, 0x93, 0x51, 0x55, 0x97, 0x61, 0x96, 0x9b, 0x71, 0xd7, 0x9f,
                   0x82, 0x18, 0xa3, 0x92, 0x59, 0xa7, 0xa2, 0x9a, 0xab, 0xb2, 0xdb, 0xaf,
                   0xc3, 0x1c, 0xb3, 0xd3, 0x5d, 0xb7, 0xe3, 0x9e, 0xbb, 0xf3, 0xdf, 0xbf};
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    EXPECT_EQ(base64_encode(bytes), alphabet);
    EXPECT_EQ(base64_decode(alphabet), bytes);
}

TEST(Base64, RejectsTextsThatAreNotCanonical) {
    const char* cases[] = {"Zg=", "Zg", "Zg==Zg==", "Zh==", "Zm9=", "Z!==", "====", "Z===", "Zm 9", "Zm9v\n"};
    for (const char* text : cases) EXPECT_FALSE(base64_decode(text).has_value()) << text;
}

// The answer re-derived with the cryptographic library directly.
Bytes library_md5(const Bytes& input) {
    Bytes digest(16);
    unsigned int size = 0;
    EVP_Digest(input.data(), input.size(), digest.data(), &size, EVP_md5(), nullptr);
    return digest;
}

Bytes expected_answer_bytes(const LoginChallenge& challenge, const ConnectionKey& key, uint16_t build) {
    Bytes head(challenge.begin(), challenge.end());
    Bytes build_input = head;
    for (char c : std::string("KBBuild")) build_input.push_back(static_cast<uint8_t>(c));
    build_input.push_back(static_cast<uint8_t>(build & 0xFF));
    build_input.push_back(static_cast<uint8_t>(build >> 8));
    Bytes type_input = head;
    for (char c : std::string("KBType")) type_input.push_back(static_cast<uint8_t>(c));
    type_input.insert(type_input.end(), key.begin(), key.end());
    Bytes login_input = head;
    for (char c : std::string("KBLogin")) login_input.push_back(static_cast<uint8_t>(c));
    login_input.insert(login_input.end(), key.begin(), key.end());
    for (char c : std::string("KBComplex")) login_input.push_back(static_cast<uint8_t>(c));

    Bytes answer = library_md5(build_input);
    Bytes type_part = library_md5(type_input);
    Bytes login_part = library_md5(login_input);
    answer.insert(answer.end(), type_part.begin(), type_part.end());
    answer.insert(answer.end(), login_part.begin(), login_part.begin() + 10);
    return answer;
}

LoginChallenge sample_challenge(uint8_t seed) {
    LoginChallenge challenge;
    for (size_t i = 0; i < challenge.size(); ++i) challenge[i] = static_cast<uint8_t>(seed + i * 29);
    return challenge;
}

TEST(LoginChallenge, AnswerIsTheDocumentedRecipe) {
    const LoginChallenge challenge = sample_challenge(3);
    const ConnectionKey key = connection_key("s3cret");
    std::string answer = login_challenge_answer(challenge, key, 445);

    ASSERT_EQ(answer.size(), 56u);
    EXPECT_EQ(answer.find('='), std::string::npos);
    std::optional<Bytes> decoded = base64_decode(answer);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, expected_answer_bytes(challenge, key, 445));
}

TEST(LoginChallenge, VerifierAcceptsOnlyTheMatchingAnswer) {
    const LoginChallenge challenge = sample_challenge(3);
    const ConnectionKey key = connection_key("s3cret");
    const std::string answer = login_challenge_answer(challenge, key, 445);
    EXPECT_TRUE(login_challenge_answer_matches(challenge, key, 445, answer));

    EXPECT_FALSE(login_challenge_answer_matches(sample_challenge(4), key, 445, answer)) << "other challenge";
    EXPECT_FALSE(login_challenge_answer_matches(challenge, connection_key("s3cres"), 445, answer)) << "other key";
    EXPECT_FALSE(login_challenge_answer_matches(challenge, key, 444, answer)) << "other build";
    EXPECT_FALSE(login_challenge_answer_matches(challenge, key, 445, answer.substr(0, 52))) << "short";
    EXPECT_FALSE(login_challenge_answer_matches(challenge, key, 445, answer + "AAAA")) << "long";
    for (size_t i = 0; i < answer.size(); ++i) {
        std::string tampered = answer;
        tampered[i] = tampered[i] == 'A' ? 'B' : 'A';
        EXPECT_FALSE(login_challenge_answer_matches(challenge, key, 445, tampered)) << "character " << i;
    }
}

}  // namespace
}  // namespace kb::net
