#pragma once
#include "market/history_sync_request.h"

namespace kb::server {

// The history synchronisation request (command 9 on the history server), after its byte.
using market::HistorySyncRequest;

}  // namespace kb::server
