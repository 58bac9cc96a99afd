// The data a fresh login downloads, read by the session from whatever the trade server
// answers: the account data, the server information, the symbols, the symbol groups,
// the crash log exchange, the mail recipients and the account history. No answer may
// crash it or leave the stores unsound (see market_world.h); recipients arrive whole.
//
// Input: the server's answers after the login, as the session unscrambles them.
#include <cstdint>

#include "session_world.h"

using namespace kb;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 20)) return 0;
    fuzzing::SessionWorld world;
    world.answer(session::Server::Trade, {data, size}, 445);
    const config::LoginRecord account = world.services.config.login_record();
    session::ServerSessionAccess::account_data(world.session, account);
    session::ServerSessionAccess::download_login_data(world.session, account);
    fuzzing::check_world(world.world);
    return 0;
}
