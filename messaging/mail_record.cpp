#include "messaging/mail_record.h"

namespace kb::messaging {

void clean_header(MailRecord& header) {
    header.name[sizeof(header.name) - 1] = '\0';
    header.subject[sizeof(header.subject) - 1] = '\0';
    header.body_pointer = 0;
}

void force_terminator(MailRecipient& recipient) { recipient.name[sizeof(recipient.name) - 1] = '\0'; }

}  // namespace kb::messaging
