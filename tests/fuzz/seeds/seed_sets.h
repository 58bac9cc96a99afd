#pragma once
// The seed recorder's parts beyond its exchanges with the demo-server (record_seeds.cpp).
#include <string>

#include "tests/fuzz/seeds/seed_writer.h"
#include "trade/account_record.h"

namespace kb::config {
class TerminalConfig;
}

namespace kb::fuzzing::seeds {

// Splits what the trade door pushed after the login (unscrambled, starting at a command
// byte) into the seeds of the quote, trade transaction and symbol update targets. Stops
// at a command it doesn't know, saying so.
void record_pushes(const Bytes& pushes);

// The configuration files the terminal writes for the logged-in account, saved through its
// own writers: server.ini, charts.ini, trade.ini, events.ini, the .srv files and
// accounts.ini (the account remembered from the trade base's record).
void record_config_files(const std::string& program_folder, config::TerminalConfig& config,
                         const trade::AccountRecord& account);

// The symbols base's files of a server (symbols.raw, symgroups.raw, symbols.sel), once the
// base that wrote them is gone.
void record_symbol_files(const std::string& program_folder, const std::string& server);

// A history file the history centre saved ("<symbol><period>.hst" of the server).
void record_history_file(const std::string& program_folder, const std::string& server, const std::string& file);

// The per-user settings file as the server list and the windows write it, in a folder of
// its own.
void record_settings_file(const std::string& scratch_folder);

}  // namespace kb::fuzzing::seeds
