#include "server/storage.h"

namespace kb::server {

namespace {

constexpr const char* kSettingsVersionKey = "settings_version";

}  // namespace

bool Storage::set_override(const SettingOverride& setting) {
    return set_overrides(std::span<const SettingOverride>(&setting, 1));
}

bool Storage::set_overrides(std::span<const SettingOverride> settings) {
    std::lock_guard guard(lock_);
    SqliteTransaction transaction(db_);
    if (!transaction.begun()) return false;
    for (const SettingOverride& setting : settings) {
        SqliteStatement statement =
            db_.prepare("INSERT OR REPLACE INTO setting_overrides (kind, name, key, value) VALUES (?, ?, ?, ?)");
        statement.bind(1, setting.kind).bind(2, setting.name).bind(3, setting.key).bind(4, setting.value);
        if (!statement.run()) {
            db_.note_error();
            return false;
        }
    }
    SqliteStatement version = db_.prepare(
        "INSERT INTO server_values (key, value) VALUES (?, 1) ON CONFLICT(key) DO UPDATE SET value = value + 1");
    version.bind(1, kSettingsVersionKey);
    if (!version.run()) {
        db_.note_error();
        return false;
    }
    return transaction.commit();
}

std::vector<SettingOverride> Storage::overrides() {
    std::lock_guard guard(lock_);
    SqliteStatement row = db_.prepare("SELECT kind, name, key, value FROM setting_overrides ORDER BY kind, name, key");
    std::vector<SettingOverride> settings;
    while (row.next_row()) settings.push_back(SettingOverride{row.text(0), row.text(1), row.text(2), row.text(3)});
    return settings;
}

int64_t Storage::settings_version() {
    std::lock_guard guard(lock_);
    SqliteStatement row = db_.prepare("SELECT value FROM server_values WHERE key = ?");
    row.bind(1, kSettingsVersionKey);
    return row.next_row() ? row.integer(0) : 0;
}

}  // namespace kb::server
