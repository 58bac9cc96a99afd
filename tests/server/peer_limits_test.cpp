#include <gtest/gtest.h>

#include "server/peer_limits.h"

namespace kb::server {
namespace {

constexpr uint32_t kLocal = 0x0100007F;   // 127.0.0.1
constexpr uint32_t kOther = 0x0200007F;   // 127.0.0.2

TEST(PeerLimits, EachAddressHoldsItsShareOfConnections) {
    PeerLimits limits(PeerLimitSettings{2, 500, 30000});
    EXPECT_EQ(limits.admit(kLocal), PeerLimits::Admission::Admitted);
    EXPECT_EQ(limits.admit(kLocal), PeerLimits::Admission::Admitted);
    EXPECT_EQ(limits.admit(kLocal), PeerLimits::Admission::RefusedFirst);
    EXPECT_EQ(limits.admit(kLocal), PeerLimits::Admission::Refused) << "one journal line per flood, not per connection";
    EXPECT_EQ(limits.admit(kOther), PeerLimits::Admission::Admitted) << "another address has its own share";
    limits.release(kLocal);
    EXPECT_EQ(limits.admit(kLocal), PeerLimits::Admission::Admitted) << "a released place is taken again";
    EXPECT_EQ(limits.admit(kLocal), PeerLimits::Admission::RefusedFirst) << "a new flood is reported again";
}

TEST(PeerLimits, WrongPasswordsInARowWaitLongerUpToTheCap) {
    PeerLimits limits(PeerLimitSettings{2, 500, 6000});
    const uint32_t expected[] = {500, 1000, 2000, 4000, 6000, 6000};
    for (uint32_t delay : expected) EXPECT_EQ(limits.login_failed(kLocal), delay);
    EXPECT_EQ(limits.login_failed(kOther), 500u) << "counted per address";
    limits.login_succeeded(kLocal);
    EXPECT_EQ(limits.login_failed(kLocal), 500u) << "a good login starts over";
    for (int i = 0; i < 100; ++i) limits.login_failed(kOther);
    EXPECT_EQ(limits.login_failed(kOther), 6000u) << "no overflow after many";
}

TEST(PeerLimits, PeerTextIsTheDottedAddress) {
    EXPECT_EQ(peer_text(kOther), "127.0.0.2");
    EXPECT_EQ(peer_text(0xFE01A8C0), "192.168.1.254");
}

}  // namespace
}  // namespace kb::server
