#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "net/protocol.h"

namespace kb::net {

TEST(ReturnCodeText, NamesEveryCodeOfTheTable) {
    const std::pair<int, const char*> cases[] = {
        {0, "OK"}, {1, "OK"}, {2, "Common error"}, {3, "Invalid parameters"}, {4, "Server is busy"},
        {5, "Old version"}, {6, "No connection"}, {7, "Not enough rights"}, {8, "Too frequent requests"},
        {9, "Disabled or failed"}, {10, "Generated key required"}, {11, "Secured login required"},
        {64, "Account disabled"}, {65, "Invalid account"}, {66, "Public key not found"},
        {128, "Trade timeout"}, {129, "Invalid prices"}, {130, "Invalid S/L or T/P"},
        {131, "Invalid volume"}, {132, "Market is closed"}, {133, "Trade is disabled"},
        {134, "Not enough money"}, {135, "Price is changed"}, {136, "Off quotes"},
        {137, "Broker is busy"}, {138, "Requote"}, {139, "Order is locked"},
        {140, "Only long positions are allowed"}, {141, "Too many requests"},
        {142, "Order is accepted"}, {143, "Order is in process"}, {144, "Request canceled by client"},
        {145, "Modification denied. Order too close to market"}, {146, "Trade context is busy"},
        {147, "Expiration for pending orders is disabled"}, {148, "Too many orders"},
        {149, "Hedge is prohibited"}, {150, "Prohibited by FIFO rule"}};
    for (auto [code, text] : cases) EXPECT_STREQ(return_code_text(code), text) << code;
}

TEST(ReturnCodeText, AnyOtherCodeIsUnknown) {
    for (int code : {12, 63, 67, 127, 151, 255, 256, -1, -6})
        EXPECT_STREQ(return_code_text(code), "unknown error") << code;
}

TEST(ReturnCodeText, NamedCodesMatchTheirNumbers) {
    EXPECT_EQ(code_value(ReturnCode::NoConnection), 6);
    EXPECT_EQ(code_value(ReturnCode::TradeContextBusy), 146);
    EXPECT_STREQ(return_code_text(ReturnCode::Requote), "Requote");
    EXPECT_STREQ(return_code_text(ReturnCode::ProhibitedByFifo), "Prohibited by FIFO rule");
}

}  // namespace kb::net
