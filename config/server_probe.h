#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/server_list.h"
#include "net/packet_stream.h"
#include "platform/clock.h"
#include "platform/thread.h"

namespace kb::config {

// A probe starts only when the server was last selected or probed this long ago.
inline constexpr uint32_t kProbeIntervalMs = 3600000;
// The watchdog ends a probe step that has run this long.
inline constexpr uint32_t kProbeStepTimeoutMs = 10000;
// Longest reply line read from an access point.
inline constexpr size_t kProbeReplyLimit = 500;
// A trade server answers the probe with a line starting with this.
inline constexpr std::string_view kProbeReplyMark = "Kestrelbay";

// Measures the access points of the current server on a worker thread: each one is
// connected directly (no proxy), asked "ZINFO\n" and told "QUIT\n"; a reply line that
// starts with kProbeReplyMark gives the elapsed time, anything else kFailedMs. The times
// are then copied into the list under its lock, and the server's selection is cleared so
// that the next connect follows the measured order.
// start, probe_watchdog and stop are called from the user-interface thread.
class ServerProbe {
public:
    // clock times the replies and the steps; stream_clock makes the connection's short
    // pauses while an access point stalls. Both must outlive the probe.
    ServerProbe(ServerList& list, platform::Clock& clock, platform::Clock& stream_clock);
    ~ServerProbe();   // stop()
    ServerProbe(const ServerProbe&) = delete;
    ServerProbe& operator=(const ServerProbe&) = delete;

    // After a successful login to server_name: starts the probe when that server has
    // more than one access point, was last selected or probed at least kProbeIntervalMs
    // ago and no probe is running. True when a probe was started.
    bool start(std::string_view server_name);
    // From the main timer: closes the probe connection when its step began more than
    // kProbeStepTimeoutMs ago, which ends that step as a failure.
    void probe_watchdog();
    // Shutdown: the loop stops before its next access point, the connection is closed
    // and the thread is waited for.
    void stop();
    // Waits for a running probe to finish by itself (its results are in the list then).
    void wait();
    bool running() const { return thread_.running(); }

private:
    void run(const std::string& server_name, const std::vector<AccessPointRecord>& points);
    int32_t measure(const AccessPointRecord& point);

    ServerList& list_;
    platform::Clock& clock_;
    net::PacketStream stream_;
    platform::Thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<uint32_t> step_started_{0};
};

}  // namespace kb::config
