#include "server/session_pool.h"

#include <algorithm>

#include "server/peer_limits.h"

namespace kb::server {

SessionPool::SessionPool(ServerContext& context, size_t max_sessions)
    : context_(context), max_sessions_(max_sessions) {}

SessionPool::~SessionPool() { stop_all(); }

void SessionPool::release_peer(uint32_t peer_address) {
    if (context_.peers) context_.peers->release(peer_address);
}

void SessionPool::reap_finished() {
    std::list<std::unique_ptr<Running>> finished;
    {
        std::lock_guard guard(lock_);
        for (auto it = running_.begin(); it != running_.end();) {
            auto next = std::next(it);
            if ((*it)->finished) finished.splice(finished.end(), running_, it);
            it = next;
        }
    }
    for (auto& running : finished) running->thread.join();
}

bool SessionPool::start(ServerRole role, std::unique_ptr<net::PacketStream> stream, uint32_t peer_address) {
    reap_finished();
    std::lock_guard guard(lock_);
    if (running_.size() >= max_sessions_) {
        context_.log.write("%zu sessions running, connection refused", running_.size());
        stream->close();
        release_peer(peer_address);
        return false;
    }
    auto running = std::make_unique<Running>();
    running->session = std::make_unique<ClientSession>(context_, role, std::move(stream), peer_address);
    Running* raw = running.get();
    if (!running->thread.start([this, raw, peer_address] {
            raw->session->run();
            release_peer(peer_address);
            raw->finished = true;
        })) {
        raw->session->close();
        release_peer(peer_address);
        return false;
    }
    running_.push_back(std::move(running));
    return true;
}

size_t SessionPool::active() {
    std::lock_guard guard(lock_);
    return static_cast<size_t>(std::count_if(running_.begin(), running_.end(),
                                             [](const auto& running) { return !running->finished; }));
}

void SessionPool::quit_all() {
    std::lock_guard guard(lock_);
    for (auto& running : running_) running->session->request_quit();
}

void SessionPool::stop_all() {
    std::list<std::unique_ptr<Running>> all;
    {
        std::lock_guard guard(lock_);
        all.swap(running_);
    }
    for (auto& running : all) running->session->close();
    for (auto& running : all) running->thread.join();
}

}  // namespace kb::server
