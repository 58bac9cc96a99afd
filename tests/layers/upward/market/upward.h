#pragma once
// A store that reaches up into the session (not allowed) and down into net/ (allowed).
#include "net/packet_stream.h"
#include "session/server_session.h"
