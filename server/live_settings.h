#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "server/server_config.h"
#include "server/storage.h"

namespace kb::server {

// Applies one stored override to a configuration. Instruments take "description",
// "stops_level" and "execution"; groups take "leverage", "execution", "requote_rate",
// "dealer_delay_ms", "news", "margin_call" and "stop_out". Values are checked like the
// configuration file's. False, with config unchanged and error naming the fault, for an
// unknown item or key or a value out of range.
bool apply_override(ServerConfig& config, const SettingOverride& setting, std::string& error);

// The configuration as the admin has changed it while the server runs: the file's
// configuration with the overrides stored in the database applied in order. Overrides that
// no longer apply (an instrument gone from the file) are skipped.
// Thread-safe: refresh() and the readers may run on any thread; readers get a shared copy
// that stays valid while they hold it. Its lock is a leaf of core/lock_order.h.
class LiveSettings {
public:
    // Reads the stored overrides once. Both arguments must outlive the object.
    LiveSettings(const ServerConfig& base, Storage& storage);

    std::shared_ptr<const ServerConfig> current();
    // Raised by every refresh() that found a change; starts at 0.
    uint64_t version();
    // Looks at the database's settings version and, when it changed, rebuilds the settings.
    // Returns whether they changed.
    bool refresh();

private:
    std::shared_ptr<const ServerConfig> build();

    const ServerConfig& base_;
    Storage& storage_;
    std::mutex lock_;
    std::shared_ptr<const ServerConfig> current_;
    int64_t stored_version_ = 0;
    uint64_t version_ = 0;
};

}  // namespace kb::server
