#include <gtest/gtest.h>

#include <cstring>

#include "messaging/mail_record.h"
#include "messaging/news_record.h"

namespace kb::messaging {
namespace {

TEST(RecordTerminators, NewsTextsEndInsideTheirFields) {
    NewsRecord record;
    std::memset(&record, 'x', sizeof(record));
    force_terminators(record);
    EXPECT_EQ(std::strlen(record.time_text), 31u);
    EXPECT_EQ(std::strlen(record.subject), 255u);
    EXPECT_EQ(std::strlen(record.keywords), 63u);
    EXPECT_EQ(std::strlen(record.parameters), 255u);
    EXPECT_EQ(record.body_length, 0x78787878);   // numbers are left alone
}

TEST(RecordTerminators, MailHeaderAndRecipientAreCleaned) {
    MailRecord header;
    std::memset(&header, 'x', sizeof(header));
    clean_header(header);
    EXPECT_EQ(std::strlen(header.name), 63u);
    EXPECT_EQ(std::strlen(header.subject), 127u);
    EXPECT_EQ(header.body_pointer, 0u);

    MailRecipient recipient;
    std::memset(&recipient, 'y', sizeof(recipient));
    force_terminator(recipient);
    EXPECT_EQ(std::strlen(recipient.name), 63u);
}

}  // namespace
}  // namespace kb::messaging
