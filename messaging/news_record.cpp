#include "messaging/news_record.h"

namespace kb::messaging {

void force_terminators(NewsRecord& record) {
    record.time_text[sizeof(record.time_text) - 1] = '\0';
    record.subject[sizeof(record.subject) - 1] = '\0';
    record.keywords[sizeof(record.keywords) - 1] = '\0';
    record.parameters[sizeof(record.parameters) - 1] = '\0';
}

}  // namespace kb::messaging
