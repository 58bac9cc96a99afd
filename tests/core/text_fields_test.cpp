#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "core/text_fields.h"

namespace kb::core {
namespace {

TEST(FillTextField, CopiesTheTextThenFillsFromTheRandomGenerator) {
    platform::SeededRandom expected_random(7);
    std::array<char, 16> expected_filler{};
    for (char& byte : expected_filler) byte = static_cast<char>(expected_random.next());

    std::array<char, 16> field{};
    platform::SeededRandom random(7);
    fill_text_field(field, "abc", random);
    EXPECT_EQ(std::memcmp(field.data(), "abc", 4), 0);
    EXPECT_EQ(std::memcmp(field.data() + 4, expected_filler.data(), field.size() - 4), 0);
}

TEST(FillTextField, CutsALongTextAndAlwaysTerminates) {
    platform::SeededRandom random(1);
    std::array<char, 4> field{};
    fill_text_field(field, "abcdef", random);
    EXPECT_EQ(std::memcmp(field.data(), "abc", 4), 0);

    std::array<char, 1> one{'x'};
    fill_text_field(one, "abc", random);
    EXPECT_EQ(one[0], '\0');
    fill_text_field(std::span<char>(), "abc", random);   // nothing to write into, nothing happens
}

TEST(PasswordIsStrong, NeedsFiveCharactersOfTwoClasses) {
    const std::pair<const char*, bool> cases[] = {
        {"abcd1", true},
        {"ABCde", true},
        {"ABCD1", true},
        {"abcde", false},                       // one class
        {"12345", false},
        {"Ab1", false},                         // too short
        {"abC1", false},
        {"", false},
        {"abc d1", false},                      // a blank fails at once
        {"abc.d1", false},                      // punctuation fails at once
        {"abc$d1", false},
        {"\xd0\x9f\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c", true},   // "Пароль": upper and lower case
        {"\xd0\xbf\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c", false},  // "пароль": lower case only
        {"abc\xc3\xa9", false},                 // "abcé" is four characters in five bytes
        {"abc\xc3\xa9" "1", true},
        {"abcd1\xff", false},                   // malformed UTF-8
    };
    for (auto [password, strong] : cases) EXPECT_EQ(password_is_strong(password), strong) << password;
}

}  // namespace
}  // namespace kb::core
