#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "config/server_record.h"
#include "platform/clock.h"
#include "platform/random.h"

namespace kb::core {
class SettingsStore;
}

namespace kb::config {

// The maker's own company text; terminals with this branding fetch white-label lists.
inline constexpr std::string_view kMakerCompany = "Quorvantis Software Corp.";
// The record created when no server is known.
inline constexpr std::string_view kDefaultServerName = "Quorvantis-Demo";
inline constexpr std::string_view kDefaultServerDescription = "Quorvantis Demo";
// The access point of the default record: the bundled demo-server on this machine, on
// the unprivileged port it listens on by default (so it runs without root).
inline constexpr std::string_view kDefaultServerAddress = "127.0.0.1:4443";

// Measured outcome of one access point, handed back by the probe.
struct ProbeMeasurement {
    std::string address;
    int32_t time_ms = kFailedMs;
};

// The known trade servers, each with up to 64 access points, mirrored in the
// config/<name>.srv files. Records whose name equals their company (typed in by hand)
// live only in memory. Thread-safe: every operation takes the list's lock for its whole
// body and hands out copies; no file is touched by more than one call at a time. Lock
// order: after the configuration (core/lock_order.h).
class ServerList {
public:
    // settings may be null (no white-label reset then). Nothing is read until load_all.
    // random fills the unused text bytes of the saved files; it is drawn from under the
    // list's lock by whichever thread saves, so it must be safe for those threads
    // (system_random() is). It must outlive this object.
    ServerList(std::string program_folder, platform::Clock& clock, platform::Random& random,
               core::SettingsStore* settings);
    // Saves what changed since the last save (at shutdown: the marks of failed access
    // points set after the last login). Any probe must have been stopped before.
    ~ServerList();
    ServerList(const ServerList&) = delete;
    ServerList& operator=(const ServerList&) = delete;

    // Drops the list and reads every config/*.srv: a file with an invalid header is
    // deleted, one with a short access point array is skipped. Fewer than two records
    // with terminal_company equal to kMakerCompany reset "WhiteLabelSuccessful" and
    // "WhiteLabelTimestamp" under "Settings" to 0; an empty list gets the default record.
    void load_all(std::string_view terminal_company);

    // Adds or refreshes a server (count 1..64, a name that is non-empty and usable as a
    // file name, else false and nothing changes) and saves its file. A known server keeps
    // the measured time of each access point whose address is unchanged at its index.
    bool update_server(std::string_view name, std::string_view company, int32_t type,
                       std::span<const AccessPointRecord> access_points);

    // The named server with its access points sorted (time / 100 + priority, then
    // address); nullopt when unknown.
    std::optional<ServerEntry> find_copy(std::string_view name);
    // The server at index in list order, access points unsorted; nullopt past the end.
    std::optional<ServerEntry> copy_at(size_t index);
    size_t size();

    // The name of the server called text or having an access point with that address.
    std::optional<std::string> find_by_name_or_address(std::string_view text);
    // name when such a server exists, else the first selectable server's name, else "".
    std::string resolve_server_name(std::string_view name);

    // Remembers address as the server's connecting access point, stamped with the tick.
    void select_access_point(std::string_view name, std::string_view address);
    // Stores a connect or probe time (state unreachable above kFailedMs, else
    // reachable) and recomputes the server's best time.
    void record_connect_time(std::string_view name, std::string_view address, int32_t time_ms);
    // The selected access point gets kFailedMs and the selection is cleared.
    void mark_selected_failed(std::string_view name);
    // Access points at kFailedMs become kNeverMeasuredMs again.
    void reset_failures(std::string_view name);
    // Copies a probe's measurements into the server's access points of the same address,
    // clears its selection and stamps the tick.
    void apply_probe_results(std::string_view name, std::span<const ProbeMeasurement> measurements);

    // Writes the file of every record whose name differs from its company, when
    // anything changed since the last save. Write failures are silent.
    void save();
    bool dirty();

    // config/<name>.srv
    std::string server_file(std::string_view name) const;

private:
    ServerEntry* find_locked(std::string_view name);
    bool update_locked(std::string_view name, std::string_view company, int32_t type,
                       std::span<const AccessPointRecord> access_points);
    void write_entry_locked(const ServerEntry& entry);
    void save_locked();

    const std::string program_folder_;
    platform::Clock& clock_;
    platform::Random& random_;
    core::SettingsStore* const settings_;
    std::mutex lock_;
    std::vector<ServerEntry> entries_;   // list order: newest first
    bool dirty_ = false;
};

}  // namespace kb::config
