#pragma once
#include <atomic>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>

#include "net/packet_stream.h"
#include "platform/thread.h"
#include "server/client_session.h"

namespace kb::server {

// The running sessions, one thread each, at most max_sessions at a time. Finished
// sessions are joined and dropped when the next one starts. Thread-safe; lock order:
// core/lock_order.h.
class SessionPool {
public:
    SessionPool(ServerContext& context, size_t max_sessions);
    ~SessionPool();   // stop_all
    SessionPool(const SessionPool&) = delete;
    SessionPool& operator=(const SessionPool&) = delete;

    // Runs a session for the accepted connection (from peer_address, IPv4 lowest byte
    // first) on a new thread; the connection counted for the address in the context's
    // peer limits is released when it ends. False, with the connection closed (and
    // released), when the pool is full or the thread can't be started.
    bool start(ServerRole role, std::unique_ptr<net::PacketStream> stream, uint32_t peer_address);
    // Sessions whose thread still runs.
    size_t active();
    // Asks every running session to end with the quit byte (ClientSession::request_quit).
    void quit_all();
    // Closes every session's connection and waits for their threads.
    void stop_all();

private:
    struct Running {
        std::unique_ptr<ClientSession> session;
        platform::Thread thread;
        std::atomic<bool> finished{false};
    };

    void reap_finished();
    void release_peer(uint32_t peer_address);

    ServerContext& context_;
    const size_t max_sessions_;
    std::mutex lock_;
    std::list<std::unique_ptr<Running>> running_;
};

}  // namespace kb::server
