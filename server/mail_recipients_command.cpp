#include "core/fixed_text.h"
#include "messaging/mail_record.h"
#include "server/client_session.h"
#include "server/reply.h"
#include "server/session_commands.h"

namespace kb::server {

namespace {

constexpr size_t kMaxRecipients = 128;

}  // namespace

HandlerResult handle_mail_recipients(ClientSession& session) {
    const AccountRow& account = session.account();
    const auto members = session.context().storage.group_members(account.group, account.login, kMaxRecipients);
    net::PacketStream& stream = session.stream();
    if (members.empty())
        return send_code(stream, net::ReturnCode::OkNoResult) ? HandlerResult::Continue : HandlerResult::Close;
    net::OutputBuffer& out = stream.output();
    out.reset();
    out.put_byte(net::code_byte(net::ReturnCode::Ok));
    out.put_u32(static_cast<uint32_t>(members.size()));
    for (const auto& [login, name] : members) {
        messaging::MailRecipient recipient{};
        recipient.login = login;
        core::set_field_text(recipient.name, name);
        out.put_bytes(&recipient, sizeof recipient);
    }
    return stream.send_output() ? HandlerResult::Continue : HandlerResult::Close;
}

}  // namespace kb::server
