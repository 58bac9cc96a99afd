// Connecting, logging in and the data a fresh login downloads.
#include <cstring>

#include "config/accounts_base.h"
#include "core/fixed_text.h"
#include "config/server_connect.h"
#include "config/server_list.h"
#include "config/terminal_config.h"
#include "core/journal.h"
#include "net/compressed_block.h"
#include "net/login_packet.h"
#include "net/server_info.h"
#include "session/account_history_request.h"
#include "session/block_records.h"
#include "session/crash_log_upload.h"
#include "session/server_session.h"

namespace kb::session {

namespace {

using net::ReturnCode;

constexpr size_t kServerInformationLimit = 1000000;
constexpr size_t kSymbolsLimit = 2000000;
constexpr size_t kSymbolGroupsLimit = 1000000;
constexpr size_t kAccountDataLimit = 262144;
constexpr uint32_t kMaxMailRecipients = 128;

// Sends the command with its 16-byte digest and reads the reply code.
ReturnCode request_with_digest(net::PacketStream& stream, net::Command command, const net::Md5Digest& digest) {
    net::OutputBuffer& out = stream.output();
    out.reset();
    out.put_command(command);
    out.put_bytes(digest.data(), digest.size());
    if (!stream.send_output()) return ReturnCode::NoConnection;
    return stream.read_code();
}

}  // namespace

ReturnCode ServerSession::connect_and_log_in(net::PacketStream& connection, const std::string& address, int32_t login,
                                             std::string_view password, net::LoginMode mode) {
    const config::ListConnection connected = config::connect_through_list(connection, address, env_.servers);
    if (!connected.connected) return ReturnCode::NoConnection;
    // A fresh connection is not silent, whatever came before it.
    record_activity(&connection == &trade_stream_ ? Server::Trade : Server::History);

    const ReturnCode code = net::log_in(connection, login, password, mode);
    if (code == ReturnCode::Ok) return ReturnCode::Ok;
    connection.close();
    switch (code) {
        case ReturnCode::NoConnection:
            if (std::optional<config::HostAndPort> parts = config::split_address(address))
                env_.servers.mark_selected_failed(parts->host);
            break;
        case ReturnCode::InvalidAccount:
            if (mode == net::LoginMode::TradeServer) {
                config::LoginRecord account = env_.config.login_record();
                std::memset(account.password, 0, sizeof account.password);
                env_.config.set_login_record(account);
            }
            break;
        case ReturnCode::SecuredLoginRequired: return secured_login_required(login);
        case ReturnCode::GeneratedKeyRequired: return generated_key_required(login);
        default: break;
    }
    return code;
}

// Until the terminal keeps key pairs there is none to answer the server's challenge with.
ReturnCode ServerSession::secured_login_required(int32_t login) {
    env_.journal.write(core::Level::Error, "'%d': public key is not found", login);
    return ReturnCode::PublicKeyNotFound;
}

ReturnCode ServerSession::generated_key_required(int32_t login) { return secured_login_required(login); }

// ---- login data ----

ReturnCode ServerSession::download_login_data(const config::LoginRecord& account) {
    const ReturnCode code = read_server_information(account);
    if (code != ReturnCode::Ok) return code;
    env_.journal.write(core::Level::Info, "'%d': login", account.login);
    const config::LoginRecord current = env_.config.login_record();
    if (env_.sinks.symbols) env_.sinks.symbols->prepare_server(current.server);
    if (env_.sinks.history) env_.sinks.history->prepare_server(current.server);
    read_symbols();
    read_symbol_groups();
    if (upload_crash_log(trade_stream_, crash_log_) != ReturnCode::Ok) return ReturnCode::CommonError;
    read_mail_recipients();
    read_account_history();
    env_.servers.save();
    return ReturnCode::Ok;
}

ReturnCode ServerSession::read_server_information(const config::LoginRecord& account) {
    if (!trade_stream_.send_byte(net::Command::ServerInformation)) return ReturnCode::CommonError;
    if (trade_stream_.read_code() != ReturnCode::Ok) return ReturnCode::CommonError;
    uint8_t passed_on = 0;
    if (!trade_stream_.read(&passed_on, 1)) return ReturnCode::CommonError;
    net::CompressedBlock block = net::read_compressed(trade_stream_, kServerInformationLimit);
    if (block.status != net::BlockStatus::Data) return ReturnCode::CommonError;
    std::optional<net::ServerInformation> info =
        net::parse_server_information(std::span<const uint8_t>(block.bytes.get(), block.size));
    if (!info) return ReturnCode::CommonError;

    trade_value_ = info->head.trade_value;
    protocol_version_ = info->head.protocol_version;
    const std::string name(core::field_text(info->tail.server_name));
    if (!name.empty() && !info->access_points.empty()) {
        std::optional<config::ServerEntry> known = env_.servers.find_copy(name);
        env_.servers.update_server(name, core::field_text(info->tail.text),
                                   known ? known->record.type : config::kServerTypeSelectable, info->access_points);
    }
    if (!name.empty() && name != core::field_text(account.server)) {
        config::LoginRecord renamed = env_.config.login_record();
        core::set_field_text(renamed.server, name);
        env_.config.set_login_record(renamed);
    }
    return ReturnCode::Ok;
}

void ServerSession::read_symbols() {
    SymbolsSink* symbols = env_.sinks.symbols;
    const net::Md5Digest digest = symbols ? symbols->symbols_digest() : net::Md5Digest{};
    if (request_with_digest(trade_stream_, net::Command::Symbols, digest) != ReturnCode::Ok) return;
    net::CompressedBlock block = net::read_compressed(trade_stream_, kSymbolsLimit);
    if (!block.ok()) return;
    if (auto records = records_of<market::SymbolRecord>(block); records && symbols) symbols->replace_symbols(*records);
}

void ServerSession::read_symbol_groups() {
    SymbolsSink* symbols = env_.sinks.symbols;
    const net::Md5Digest digest = symbols ? symbols->groups_digest() : net::Md5Digest{};
    if (request_with_digest(trade_stream_, net::Command::SymbolGroups, digest) != ReturnCode::Ok) return;
    net::CompressedBlock block = net::read_compressed(trade_stream_, kSymbolGroupsLimit);
    if (block.status != net::BlockStatus::Data) return;
    if (auto records = records_of<market::SymbolGroupRecord>(block); records && symbols) symbols->replace_groups(*records);
}

void ServerSession::read_mail_recipients() {
    if (!trade_stream_.send_byte(net::Command::MailHeaders)) return;
    if (trade_stream_.read_code() != ReturnCode::Ok) return;
    uint32_t count = 0;
    if (!trade_stream_.read_u32(count)) return;
    // The records that follow can't be skipped without a valid count: the stream is lost.
    if (count > kMaxMailRecipients) {
        trade_stream_.close();
        return;
    }
    std::vector<messaging::MailRecipient> recipients(count);
    if (count && !trade_stream_.read(recipients.data(), count * sizeof(messaging::MailRecipient))) return;
    for (messaging::MailRecipient& recipient : recipients) recipient.name[sizeof recipient.name - 1] = '\0';
    if (env_.sinks.mail) env_.sinks.mail->set_recipients(recipients);
}

void ServerSession::read_account_history() {
    const auto [start, end] = env_.sinks.trade ? env_.sinks.trade->history_range() : std::pair<int32_t, int32_t>{0, 0};
    const auto records = request_account_history(trade_stream_, {start, end});
    if (!records) return;
    if (env_.sinks.trade) env_.sinks.trade->replace_history(*records);
    notify(core::Notification::AccountHistory, core::notification_value(core::HistorySelector::Kept));
}

// ---- account data ----

ReturnCode ServerSession::request_account_data(net::PacketStream& connection, uint32_t mode, int32_t login,
                                               std::optional<trade::AccountDataReply>& reply) {
    net::OutputBuffer& out = connection.output();
    out.reset();
    out.put_command(net::Command::AccountData);
    out.put_u32(mode);
    if (!connection.send_output()) return ReturnCode::NoConnection;
    const ReturnCode code = connection.read_code();
    if (code != ReturnCode::Ok) return code;
    net::CompressedBlock block = net::read_compressed(connection, kAccountDataLimit);
    if (block.status != net::BlockStatus::Data) return ReturnCode::CommonError;
    reply = trade::parse_account_data(std::span<const uint8_t>(block.bytes.get(), block.size));
    if (!reply) return ReturnCode::CommonError;
    if (trade::reports_previous_authorization(reply->account)) {
        uint8_t address[4];
        std::memcpy(address, reply->account.last_address, sizeof address);
        env_.journal.write(core::Level::Info, "'%d': previous authorization from %s", login,
                           trade::dotted_address(address).c_str());
    }
    return ReturnCode::Ok;
}

void ServerSession::apply_trade_account(const config::LoginRecord& account, const trade::AccountDataReply& reply) {
    if (env_.sinks.channels) env_.sinks.channels->reset();
    if (env_.sinks.symbols) env_.sinks.symbols->set_group(reply.account.group);
    if (env_.sinks.trade) env_.sinks.trade->set_account(reply);
    if (env_.sinks.history && account.mode_in_effect != kUsesHistoryServer) env_.sinks.history->prime();
    if (env_.accounts) {
        trade::AccountRecord record{};
        record.login = account.login;
        std::memcpy(record.password, account.password, sizeof record.password);
        std::memcpy(record.server, account.server, sizeof record.server);
        trade::apply_account_data(record, reply.account);
        config::AccountSnapshot snapshot;
        static_assert(sizeof snapshot == sizeof record);
        std::memcpy(&snapshot, &record, sizeof snapshot);
        env_.accounts->remember_current_account(snapshot);
    }
    notify(core::Notification::LoggedIn, account.login);
    notify(core::Notification::Symbols, 0);
    notify(core::Notification::Trades, 0);
    notify(core::Notification::ChartHistory, 0);
    notify(core::Notification::AccountHistory, core::notification_value(core::HistorySelector::Kept));
}

}  // namespace kb::session
