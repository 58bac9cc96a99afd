// The receive loops of both connections and the handling of each pushed command.
#include <cstring>
#include <vector>

#include "config/accounts_base.h"
#include "config/terminal_config.h"
#include "core/journal.h"
#include "market/chart_packets.h"
#include "market/quote_packets.h"
#include "messaging/news_header_packet.h"
#include "net/compressed_block.h"
#include "session/server_session.h"

namespace kb::session {

namespace {

constexpr int kOk = net::code_value(net::ReturnCode::Ok);
constexpr int kNoConnection = net::code_value(net::ReturnCode::NoConnection);

constexpr size_t kMailMessageLimit = 65536;
constexpr size_t kUpdateBlockLimit = 1048576;
constexpr size_t kNewsBodyLimit = 32767;

bool passed(uint32_t now, uint32_t deadline) { return static_cast<int32_t>(now - deadline) > 0; }

template <class Record>
std::optional<std::vector<Record>> read_records(net::PacketStream& stream, size_t limit) {
    net::CompressedBlock block = net::read_compressed(stream, limit);
    if (!block.ok()) return std::nullopt;
    if (block.size % sizeof(Record) != 0) return std::nullopt;
    std::vector<Record> records(block.size / sizeof(Record));
    if (!records.empty()) std::memcpy(records.data(), block.bytes.get(), block.size);
    return records;
}

bool handled_by_history_loop(net::Command command) {
    switch (command) {
        case net::Command::KeepAlive:
        case net::Command::Quit:
        case net::Command::Quotes:
        case net::Command::NewsHeader:
        case net::Command::ChartHistory:
        case net::Command::NewsBody: return true;
        default: return false;
    }
}

}  // namespace

ServerSession::LoopEnd ServerSession::receive_loop(Server which) {
    net::PacketStream& connection = stream(which);
    platform::Clock& clock = env_.clock;
    const int index = static_cast<int>(which);
    if (env_.sinks.symbols) env_.sinks.symbols->set_loop_running(true);
    uint32_t keep_alive = clock.tick_ms() + kKeepAliveMs;
    uint32_t idle = clock.tick_ms() + kIdleMs;
    // The account data has just come.
    record_activity(which);
    LoopEnd end = LoopEnd::Failed;

    while (true) {
        // Checked on every pass, so that a burst of packets doesn't hold up a reconnect.
        if (leave_requested(which)) {
            end = LoopEnd::Stopped;
            break;
        }
        if (passed(clock.tick_ms(), keep_alive)) {
            if (!connection.send_byte(net::Command::KeepAlive)) {
                connection.close();
                set_state(which, kNoConnection);
                env_.journal.write(core::Level::Error, "'%d': ping failed", connection.login());
                break;
            }
            keep_alive = clock.tick_ms() + kKeepAliveMs;
        }
        // The history server carries the requests while it is connected.
        const bool forwards = which == Server::History || !history_connected();
        if (forwards && !forward_requests(connection)) {
            connection.close();
            break;
        }
        const size_t available = connection.bytes_available();
        if (!connection.is_open()) break;
        if (available > 0) {
            uint8_t command = 0;
            if (!connection.read(&command, 1)) break;
            idle = clock.tick_ms() + kIdleMs;
            record_activity(which);
            notify(kNotifyConnectionState, index);
            const Dispatch outcome = dispatch(which, command);
            if (outcome == Dispatch::Continue) continue;
            if (outcome == Dispatch::ServerQuit) end = LoopEnd::ServerQuit;
            if (outcome == Dispatch::Close) connection.close();
            break;
        }
        if (passed(clock.tick_ms(), idle)) {
            if (!connection.send_byte(net::Command::KeepAlive)) {
                connection.close();
                set_state(which, kNoConnection);
                break;
            }
            // Sending is no sign of life: only bytes received keep the watchdog away.
            confirm_connected(which);
            idle = clock.tick_ms() + kIdleMs;
        }
        clock.sleep_ms(kLoopPollMs);
    }
    quit_and_close(connection);
    return end;
}

bool ServerSession::forward_requests(net::PacketStream& connection) {
    net::OutputBuffer& out = connection.output();
    out.reset();
    if (env_.sinks.symbols) {
        if (std::optional<std::vector<uint16_t>> indexes = env_.sinks.symbols->take_subscription()) {
            market::put_subscription(out, *indexes);
            if (!connection.send_output()) return false;
        }
    }
    out.reset();
    if (env_.sinks.history) {
        const std::vector<market::ChartRequest> requests = env_.sinks.history->take_requests();
        market::put_chart_requests(out, requests);
        if (!requests.empty() && !connection.send_output()) return false;
    }
    if (env_.sinks.trade && env_.sinks.news && env_.sinks.trade->news_setting() == trade::kNewsOnRequest) {
        if (std::optional<uint32_t> id = env_.sinks.news->take_body_request()) {
            out.reset();
            out.put_command(net::Command::NewsBody);
            out.put_u32(*id);
            if (!connection.send_output()) return false;
        }
    }
    return true;
}

ServerSession::Dispatch ServerSession::dispatch(Server which, uint8_t byte) {
    const auto command = static_cast<net::Command>(byte);
    if (which == Server::History && !handled_by_history_loop(command)) {
        env_.journal.write(core::Level::Error, "'%d': unknown command %02X [data center]", stream_login(which), byte);
        return Dispatch::Close;
    }
    switch (command) {
        case net::Command::KeepAlive: return Dispatch::Continue;
        case net::Command::Quit: return Dispatch::ServerQuit;
        case net::Command::Quotes: return on_quotes(which);
        case net::Command::NewsHeader: return on_news_header(which);
        case net::Command::MailMessage: return on_mail_message();
        case net::Command::SymbolUpdates: return on_symbol_updates();
        case net::Command::TradeUpdates: return on_trade_updates();
        case net::Command::ChartHistory: return on_chart_history(which);
        case net::Command::NewsBody: return on_news_body(which);
        case net::Command::GroupSettings: return on_group_settings();
        default: break;
    }
    env_.journal.write(core::Level::Error, "'%d': unknown command %02X", stream_login(which), byte);
    return Dispatch::Close;
}

ServerSession::Dispatch ServerSession::on_quotes(Server which) {
    std::optional<std::vector<market::TickRecord>> ticks = market::read_quotes(stream(which));
    if (!ticks) return Dispatch::Failed;
    if (env_.sinks.symbols) env_.sinks.symbols->apply_ticks(*ticks);
    const intptr_t revalued = env_.sinks.trade ? env_.sinks.trade->revalue() : 0;
    notify(kNotifyQuotes, which == Server::History ? revalued : 0);
    return Dispatch::Continue;
}

ServerSession::Dispatch ServerSession::on_news_header(Server which) {
    std::optional<messaging::ReceivedNews> news = messaging::read_news_header(stream(which));
    if (!news) return Dispatch::Failed;
    const bool wanted = which == Server::Trade ? !history_connected()
                                               : env_.sinks.trade && env_.sinks.trade->news_setting() != trade::kNewsOff;
    if (wanted && env_.sinks.news) env_.sinks.news->add(news->record, std::move(news->body));
    notify(kNotifyNews, 0);
    env_.config.play_event(config::SoundEvent::News);
    return Dispatch::Continue;
}

ServerSession::Dispatch ServerSession::on_mail_message() {
    net::CompressedBlock block = net::read_compressed(trade_stream_, kMailMessageLimit);
    if (!block.ok()) return Dispatch::Failed;
    messaging::MailRecord header{};
    if (block.size >= sizeof header) {
        std::memcpy(&header, block.bytes.get(), sizeof header);
        const int32_t body_length = header.body_length;
        if (body_length >= 0 && static_cast<size_t>(body_length) == block.size - sizeof header && env_.sinks.mail) {
            messaging::clean_header(header);
            env_.sinks.mail->add_message(
                header, std::string(reinterpret_cast<const char*>(block.bytes.get()) + sizeof header, body_length));
        }
    }
    notify(kNotifyMail, 0);
    env_.config.play_event(config::SoundEvent::EmailNotify);
    return Dispatch::Continue;
}

ServerSession::Dispatch ServerSession::on_symbol_updates() {
    std::optional<std::vector<market::SymbolUpdateRecord>> updates =
        read_records<market::SymbolUpdateRecord>(trade_stream_, kUpdateBlockLimit);
    if (!updates) return Dispatch::Failed;
    if (env_.sinks.symbols && !env_.sinks.symbols->apply_symbol_updates(*updates)) return Dispatch::Failed;
    if (env_.sinks.trade) env_.sinks.trade->recalculate();
    notify(kNotifySymbols, 0);
    return Dispatch::Continue;
}

ServerSession::Dispatch ServerSession::on_trade_updates() {
    std::optional<std::vector<trade::TradeTransaction>> transactions =
        read_records<trade::TradeTransaction>(trade_stream_, kUpdateBlockLimit);
    if (!transactions) return Dispatch::Failed;
    if (env_.sinks.trade && !env_.sinks.trade->apply_transactions(*transactions)) return Dispatch::Failed;
    return Dispatch::Continue;
}

ServerSession::Dispatch ServerSession::on_chart_history(Server which) {
    // The trade server's form follows its login build, the history server's the version
    // its account data reported.
    const market::BarSource source =
        which == Server::Trade ? market::BarSource::TradeServer : market::BarSource::HistoryServer;
    net::PacketStream& connection = stream(which);
    std::optional<market::ReceivedChartHistory> push =
        market::read_chart_history(connection, market::chart_push_form(source, connection.server_build(), history_version_));
    if (!push) return Dispatch::Failed;
    const bool wanted = which == Server::History || !history_connected();
    if (wanted && env_.sinks.history) env_.sinks.history->apply_chart_history(push->header, push->bars28, push->bars22);
    notify(kNotifyChartHistory, 0);
    return Dispatch::Continue;
}

ServerSession::Dispatch ServerSession::on_news_body(Server which) {
    net::PacketStream& connection = stream(which);
    uint32_t id = 0;
    if (!connection.read_u32(id)) return Dispatch::Failed;
    net::CompressedBlock block = net::read_compressed(connection, kNewsBodyLimit);
    if (!block.ok()) return Dispatch::Failed;
    std::string body;
    if (block.status == net::BlockStatus::Data) body.assign(reinterpret_cast<const char*>(block.bytes.get()), block.size);
    if (env_.sinks.news) env_.sinks.news->set_body(id, std::move(body));
    return Dispatch::Continue;
}

ServerSession::Dispatch ServerSession::on_group_settings() {
    std::optional<std::vector<market::GroupUpdateRecord>> updates =
        read_records<market::GroupUpdateRecord>(trade_stream_, kUpdateBlockLimit);
    if (!updates) return Dispatch::Failed;
    const std::string group = env_.sinks.trade ? env_.sinks.trade->group_name() : std::string();
    for (market::GroupUpdateRecord& update : *updates) {
        update.group.name[sizeof update.group.name - 1] = '\0';
        if (update.header.transaction_type != market::kUpdateTransaction || group != update.group.name) continue;
        if (env_.sinks.trade) env_.sinks.trade->set_group(update.group);
        refresh_saved_group(update.group);
        if (env_.sinks.symbols) env_.sinks.symbols->set_group(update.group);
    }
    return Dispatch::Continue;
}

// The saved account of this login (accounts.ini) takes the new group settings.
void ServerSession::refresh_saved_group(const market::GroupRecord& group) {
    if (!env_.accounts) return;
    std::optional<config::AccountSnapshot> saved = env_.accounts->find(trade_login_);
    if (!saved) return;
    trade::AccountRecord record{};
    static_assert(sizeof record == sizeof *saved);
    std::memcpy(&record, &*saved, sizeof record);
    record.group = group;
    std::memcpy(&*saved, &record, sizeof record);
    env_.accounts->add_or_replace(*saved);
}

}  // namespace kb::session
