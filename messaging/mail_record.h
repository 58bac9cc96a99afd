#pragma once
#include <cstddef>
#include <cstdint>

namespace kb::messaging {

#pragma pack(push, 1)
// The header of a mail message: in its file, on the wire (received, command 153; sent,
// command 7) and in memory, followed by body_length body bytes. Three fields mean other
// things in a message being sent, as noted. body_pointer is only a slot kept for the
// layout (0 in files and copies), never a pointer here.
struct MailRecord {
    int32_t id;                      // positive; 0 when sending
    int32_t sender_login;            // sending: the own login
    char name[64];                   // sender name; sending: recipient name; NUL at 71
    union {
        int32_t time;                // server time
        int32_t recipient_login;     // sending
    };
    char subject[128];               // NUL at 203
    int32_t read;                    // 1 = read; 0 when sending
    uint32_t body_pointer;
    int32_t body_length;
    uint8_t reserved_216[8];         // zero
};

// One account the user may write to, received at login.
struct MailRecipient {
    int32_t login;
    char name[64];                   // NUL-terminated
};
#pragma pack(pop)

static_assert(sizeof(MailRecord) == 224);
static_assert(offsetof(MailRecord, sender_login) == 4);
static_assert(offsetof(MailRecord, name) == 8);
static_assert(offsetof(MailRecord, time) == 72);
static_assert(offsetof(MailRecord, recipient_login) == 72);
static_assert(offsetof(MailRecord, subject) == 76);
static_assert(offsetof(MailRecord, read) == 204);
static_assert(offsetof(MailRecord, body_pointer) == 208);
static_assert(offsetof(MailRecord, body_length) == 212);
static_assert(offsetof(MailRecord, reserved_216) == 216);

static_assert(sizeof(MailRecipient) == 68);
static_assert(offsetof(MailRecipient, name) == 4);

// Makes a header read from the wire or a file safe to use: forces the NULs at 71 and 203
// and zeroes the pointer slot.
void clean_header(MailRecord& header);
// Forces the name's NUL.
void force_terminator(MailRecipient& recipient);

}  // namespace kb::messaging
