#include "server/client_session.h"

#include <algorithm>
#include <string>

#include "market/symbol_record.h"
#include "messaging/news_header_packet.h"
#include "net/block_writer.h"
#include "net/login_packet.h"
#include "net/protocol.h"
#include "server/command_table.h"
#include "server/login_data_records.h"
#include "server/message_packets.h"
#include "server/quote_packet.h"
#include "server/reply.h"
#include "server/server_login.h"
#include "trade/account_record.h"
#include "trade/trade_record.h"

namespace kb::server {

namespace {

// The probe's line and the quit line after it are short; anything longer is not a probe.
constexpr size_t kProbeLineLimit = 64;
constexpr size_t kTickQueueLimit = 16384;
// News sent at once when pushes start, and per look afterwards.
constexpr size_t kNewsBacklog = 32;
constexpr size_t kTransactionsPerPush = 256;

}  // namespace

ClientSession::ClientSession(ServerContext& context, ServerRole role, std::unique_ptr<net::PacketStream> stream,
                             uint32_t peer_address)
    : context_(context), role_(role), stream_(std::move(stream)), peer_address_(peer_address),
      accepted_ms_(context.clock.tick_ms()) {}

ClientSession::~ClientSession() { context_.feed.unsubscribe(*this); }

void ClientSession::close() {
    stream_->close();
    wake_.set();
}

void ClientSession::request_quit() {
    quit_requested_ = true;
    wake_.set();
}

void ClientSession::run() {
    if (open_connection() == Opening::LoggedIn) command_loop();
    context_.feed.unsubscribe(*this);
    stream_->close();
}

bool ClientSession::wait_for_bytes(uint32_t limit_ms) { return wait_for_bytes(limit_ms, context_.clock.tick_ms()); }

bool ClientSession::wait_for_bytes(uint32_t limit_ms, uint32_t start) {
    while (stream_->is_open() && !context_.stopping) {
        if (stream_->bytes_available() > 0) return true;
        if (context_.clock.tick_ms() - start > limit_ms) return false;
        wake_.wait(context_.limits.poll_ms);
    }
    return false;
}

ClientSession::Opening ClientSession::open_connection() {
    // The first packet's limit runs from the accept, not from when this thread got going.
    if (!wait_for_bytes(context_.limits.first_packet_ms, accepted_ms_)) return Opening::Closed;
    uint8_t first = 0;
    if (!stream_->receive_exactly(&first, 1)) return Opening::Closed;
    if (first == static_cast<uint8_t>(net::kServerProbeRequest[0])) {
        answer_probe();
        return Opening::Probe;
    }
    if (first == 0 || first == net::kHistoryServerKind) return log_in(first) ? Opening::LoggedIn : Opening::Closed;
    context_.log.write("unknown first byte %02X, connection closed", first);
    return Opening::Closed;
}

void ClientSession::answer_probe() {
    std::string rest;
    if (!stream_->receive_line(rest, kProbeLineLimit)) return;
    if (rest != net::kServerProbeRequest.substr(1, net::kServerProbeRequest.size() - 2)) return;
    // The prober only looks at the first ten bytes ("Kestrelbay") and times the answer.
    std::string answer = "Kestrelbay " + context_.config.server.name + " build " +
                         std::to_string(context_.config.reported_build()) + "\n";
    if (!stream_->send_all(answer.data(), answer.size())) return;
    // The prober sends "QUIT\n" and closes; wait for it briefly, then close either way.
    if (wait_for_bytes(context_.limits.first_packet_ms)) {
        std::string quit;
        stream_->receive_line(quit, kProbeLineLimit);
    }
}

// Waits before reading the rest of the login packet while the door's logins are held.
void ClientSession::wait_while_logins_held() {
    const LoginGate* gate = context_.login_gate;
    if (gate == nullptr || !gate->holds(role_)) return;
    context_.log.write("login held");
    while (gate->holds(role_) && stream_->is_open() && !context_.stopping) wake_.wait(context_.limits.poll_ms);
}

bool ClientSession::log_in(uint8_t first_byte) {
    wait_while_logins_held();
    std::optional<AcceptedLogin> login = accept_login(context_, role_, *stream_, first_byte, peer_address_);
    if (!login) return false;
    account_ = login->account;
    investor_ = login->investor;
    login_mode_ = login->mode;
    return true;
}

void ClientSession::command_loop() {
    const CommandTable& commands = commands_for(role_, login_mode_);
    uint32_t last_activity = context_.clock.tick_ms();
    while (stream_->is_open() && !context_.stopping) {
        if (quit_requested_) {
            quit_by_server();
            break;
        }
        bool handled = false;
        if (stream_->bytes_available() > 0) {
            uint8_t command = stream_->read_byte();
            if (!stream_->is_open()) break;
            last_activity = context_.clock.tick_ms();
            const CommandEntry& entry = commands.find(command);
            if (!entry.handler) {
                context_.log.write("'%d': unknown command %02X, connection closed", account_.login, command);
                break;
            }
            if (entry.served == Served::AfterLoginData && !login_data_done_) {
                context_.log.write("'%d': command %02X before the login data, connection closed", account_.login,
                                   command);
                break;
            }
            if (entry.handler(*this) == HandlerResult::Close) break;
            handled = true;
        }
        // Quotes go out between requests too, so a busy client still gets its prices.
        if (!push_queued_quotes() || !push_stored_messages()) break;
        if (handled) continue;
        if (context_.clock.tick_ms() - last_activity > context_.limits.idle_ms) {
            context_.log.write("'%d': no data for %u ms, connection dropped", account_.login,
                               context_.limits.idle_ms);
            break;
        }
        wake_.wait(context_.limits.poll_ms);
    }
    stream_->close();
}

void ClientSession::quit_by_server() {
    if (!stream_->send_quit()) return;
    bool answered = false;
    while (!answered && wait_for_bytes(context_.limits.first_packet_ms))
        answered = stream_->read_byte() == net::command_byte(net::Command::Quit);
    context_.log.write("'%d': quit sent, %s", account_.login, answered ? "answered with quit" : "no answer");
}

void ClientSession::set_subscription(const std::set<int>& instruments) {
    context_.feed.subscribe(*this, instruments);
}

void ClientSession::on_ticks(std::span<const Tick> ticks) {
    {
        std::lock_guard guard(queue_lock_);
        // A client that doesn't keep up only needs the newest prices.
        if (queued_ticks_.size() + ticks.size() > kTickQueueLimit) queued_ticks_.clear();
        queued_ticks_.insert(queued_ticks_.end(), ticks.begin(), ticks.end());
    }
    wake_.set();
}

bool ClientSession::push_queued_quotes() {
    std::vector<Tick> ticks;
    {
        std::lock_guard guard(queue_lock_);
        ticks.swap(queued_ticks_);
    }
    return ticks.empty() || send_quotes(ticks);
}

void ClientSession::finish_login_data(uint32_t account_data_mode) {
    login_data_done_ = true;
    news_wanted_ = account_data_mode == trade::kAccountDataFull;
    start_message_pushes();
}

void ClientSession::start_message_pushes() {
    if (message_pushes_ || login_mode_ == net::LoginMode::TradeChannel) return;
    message_pushes_ = true;
    last_message_poll_ = context_.clock.tick_ms();
    last_news_id_ = context_.storage.last_news_id();
    // The account data just sent holds the trades and settings as they are now.
    last_transaction_id_ = context_.storage.last_transaction_id();
    seen_trade_changes_ = context_.trade_changes;
    if (context_.settings) settings_version_ = context_.settings->version();
    // The account as stored before this login tells when the client was last here.
    push_news(context_.storage.news_since(account_.last_login_time, kNewsBacklog));
}

bool ClientSession::push_stored_messages() {
    if (!message_pushes_) return true;
    // This process's own trade changes go out at once, those of other processes at the next look.
    const uint64_t trade_changes = context_.trade_changes;
    if (trade_changes != seen_trade_changes_) {
        seen_trade_changes_ = trade_changes;
        if (!push_transactions()) return false;
    }
    if (context_.clock.tick_ms() - last_message_poll_ < context_.message_poll_ms) return true;
    last_message_poll_ = context_.clock.tick_ms();
    return push_news(context_.storage.news_after(last_news_id_, kNewsBacklog)) && push_mail() &&
           push_settings() && push_transactions();
}

// Symbol updates and the group's settings follow the admin's changes; only the trade
// server door carries them.
bool ClientSession::push_settings() {
    if (role_ != ServerRole::Trade || !context_.settings) return true;
    context_.settings->refresh();
    const uint64_t version = context_.settings->version();
    if (version == settings_version_) return true;
    settings_version_ = version;
    const std::shared_ptr<const ServerConfig> config = context_.settings_now();
    const GroupConfig& group = account_group(*config, account_.group);
    std::vector<market::SymbolUpdateRecord> symbols;
    for (const market::SymbolRecord& record : build_symbol_records(*config, &group)) {
        market::SymbolUpdateRecord& entry = symbols.emplace_back();
        entry.header = market::UpdateHeader{};
        entry.header.transaction_type = market::kUpdateTransaction;
        entry.symbol = record;
    }
    market::GroupUpdateRecord group_entry{};
    group_entry.header.transaction_type = market::kUpdateTransaction;
    group_entry.group = build_group_record(group);
    net::OutputBuffer& out = stream_->output();
    out.reset();
    out.put_command(net::Command::SymbolUpdates);
    if (!net::put_compressed_block(out, record_bytes(std::span<const market::SymbolUpdateRecord>(symbols))) ||
        !stream_->send_output())
        return false;
    out.reset();
    out.put_command(net::Command::GroupSettings);
    return net::put_compressed_block(out, record_bytes(std::span<const market::GroupUpdateRecord>(&group_entry, 1))) &&
           stream_->send_output();
}

// Trade transactions go to the account's trade server connection (not its trade channels).
bool ClientSession::push_transactions() {
    if (role_ != ServerRole::Trade) return true;
    for (;;) {
        const std::vector<TransactionRow> rows =
            context_.storage.transactions_after(account_.login, last_transaction_id_, kTransactionsPerPush);
        if (rows.empty()) return true;
        std::vector<uint8_t> block;
        for (const TransactionRow& row : rows) {
            last_transaction_id_ = row.id;
            if (row.record.size() == sizeof(trade::TradeTransaction))
                block.insert(block.end(), row.record.begin(), row.record.end());
        }
        if (block.empty()) continue;
        net::OutputBuffer& out = stream_->output();
        out.reset();
        out.put_command(net::Command::TradeUpdates);
        if (!net::put_compressed_block(out, block) || !stream_->send_output()) return false;
    }
}

// News go to both doors: the client keeps those of the history server while it is connected
// and those of the trade server otherwise.
bool ClientSession::push_news(const std::vector<NewsRow>& items) {
    const int setting = account_group(*context_.settings_now(), account_.group).news;
    for (const NewsRow& news : items) {
        last_news_id_ = std::max(last_news_id_, news.id);
        if (setting == 0 || !news_wanted_) continue;
        net::OutputBuffer& out = stream_->output();
        out.reset();
        const messaging::OutgoingNews outgoing{static_cast<uint32_t>(news.id), news.time, news.subject, news.category,
                                               news.body};
        const messaging::NewsBody body = setting == 2 ? messaging::NewsBody::OnRequest : messaging::NewsBody::Along;
        if (!messaging::put_news_header(out, outgoing, body)) continue;
        if (!stream_->send_output()) return false;
    }
    return true;
}

// Mail goes only to the trade server door; the history server's clients don't read it.
// A message stays undelivered until it was sent, so an absent recipient gets it next time.
bool ClientSession::push_mail() {
    if (role_ != ServerRole::Trade) return true;
    for (const MailRow& mail : context_.storage.undelivered_mail(account_.login)) {
        net::OutputBuffer& out = stream_->output();
        out.reset();
        if (!put_mail_message(out, mail)) continue;
        if (!stream_->send_output()) return false;
        context_.storage.mark_mail_delivered(mail.id);
    }
    return true;
}

bool ClientSession::send_quotes(std::span<const Tick> ticks) {
    for (size_t first = 0; first < ticks.size(); first += kMaxTicksPerQuotePacket) {
        net::OutputBuffer& out = stream_->output();
        out.reset();
        put_quote_packet(out, ticks.subspan(first, std::min(kMaxTicksPerQuotePacket, ticks.size() - first)));
        if (!stream_->send_output()) return false;
    }
    return true;
}

}  // namespace kb::server
