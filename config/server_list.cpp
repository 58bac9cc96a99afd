#include "config/server_list.h"

#include <algorithm>
#include <cstring>

#include "config/config_paths.h"
#include "core/fixed_text.h"
#include "config/store_file.h"
#include "core/settings_store.h"
#include "platform/files.h"

namespace kb::config {

namespace {

constexpr std::string_view kServerFileSuffix = ".srv";
constexpr size_t kMaxServerFileSize = sizeof(ServerRecord) + kMaxAccessPoints * sizeof(AccessPointRecord);
constexpr std::string_view kWhiteLabelSuccessful = "WhiteLabelSuccessful";
constexpr std::string_view kWhiteLabelTimestamp = "WhiteLabelTimestamp";

// A server name becomes a file name in config/, so it must not leave that folder.
bool usable_as_file_name(std::string_view name) {
    return !name.empty() && name.find('/') == std::string_view::npos;
}

int32_t best_time_of(const ServerEntry& entry) {
    int32_t best = kFailedMs;
    for (const AccessPointRecord& point : entry.access_points) best = std::min(best, point.time_ms);
    return best;
}

void clear_selection(ServerRecord& record) { std::memset(record.selected_address, 0, sizeof record.selected_address); }

}  // namespace

ServerList::ServerList(std::string program_folder, platform::Clock& clock, platform::Random& random,
                       core::SettingsStore* settings)
    : program_folder_(std::move(program_folder)), clock_(clock), random_(random), settings_(settings) {}

ServerList::~ServerList() { save(); }

std::string ServerList::server_file(std::string_view name) const {
    std::string file_name(name);
    file_name += kServerFileSuffix;
    return config_file(program_folder_, file_name);
}

void ServerList::load_all(std::string_view terminal_company) {
    std::lock_guard guard(lock_);
    entries_.clear();
    dirty_ = false;

    const std::string folder = platform::join_path(program_folder_, "config");
    std::vector<platform::FolderEntry> files = platform::list_folder(folder, "*.srv");
    std::sort(files.begin(), files.end(),
              [](const platform::FolderEntry& a, const platform::FolderEntry& b) { return a.name < b.name; });
    for (const platform::FolderEntry& file : files) {
        if (file.is_directory) continue;
        const std::string path = platform::join_path(folder, file.name);
        ServerEntry entry;
        switch (parse_server_file(read_store_file(path, kMaxServerFileSize), entry)) {
            case ServerFileStatus::InvalidHeader:
                platform::remove_file(path);
                break;
            case ServerFileStatus::ShortArray:
                break;
            case ServerFileStatus::Loaded:
                // Two files claiming one name would make the name ambiguous: the first wins.
                if (find_locked(entry.name()) == nullptr) entries_.push_back(std::move(entry));
                break;
        }
    }

    if (entries_.size() < 2 && terminal_company == kMakerCompany && settings_ != nullptr) {
        // Too few servers of our own: the next white-label fetch must run in full.
        settings_->write_number(core::kSectionSettings, kWhiteLabelSuccessful, 0);
        settings_->write_number(core::kSectionSettings, kWhiteLabelTimestamp, 0);
    }
    if (entries_.empty()) {
        AccessPointRecord point{};
        core::set_field_text(point.address, kDefaultServerAddress);
        core::set_field_text(point.description, kDefaultServerDescription);
        update_locked(kDefaultServerName, kMakerCompany, kServerTypeSelectable, std::span(&point, 1));
    }
}

ServerEntry* ServerList::find_locked(std::string_view name) {
    for (ServerEntry& entry : entries_) {
        if (entry.name() == name) return &entry;
    }
    return nullptr;
}

bool ServerList::update_server(std::string_view name, std::string_view company, int32_t type,
                               std::span<const AccessPointRecord> access_points) {
    std::lock_guard guard(lock_);
    return update_locked(name, company, type, access_points);
}

bool ServerList::update_locked(std::string_view name, std::string_view company, int32_t type,
                               std::span<const AccessPointRecord> access_points) {
    if (access_points.empty() || access_points.size() > static_cast<size_t>(kMaxAccessPoints)) return false;
    if (name.size() >= sizeof(ServerRecord::name) || !usable_as_file_name(name)) return false;

    // Only this record is written now; changes to others still wait for the next save.
    const bool others_dirty = dirty_;
    ServerEntry* entry = find_locked(name);
    if (entry != nullptr) {
        std::vector<AccessPointRecord>& points = entry->access_points;
        if (points.size() < access_points.size()) points.resize(access_points.size());
        for (size_t i = 0; i < access_points.size(); ++i) {
            AccessPointRecord incoming = access_points[i];
            core::terminate_field(incoming.address);
            core::terminate_field(incoming.description);
            incoming.time_ms = address_of(incoming) == address_of(points[i]) ? points[i].time_ms : 0;
            incoming.probe_state = kProbeNotMeasured;
            incoming.scratch = 0;
            points[i] = incoming;
        }
        points.resize(access_points.size());
        core::set_field_text(entry->record.company, company);
        entry->record.type = type;
        entry->record.access_point_count = static_cast<int32_t>(points.size());
        if (!entry->selected_address().empty() && entry->find_access_point(entry->selected_address()) == nullptr) {
            clear_selection(entry->record);
        }
    } else {
        ServerEntry created;
        core::set_field_text(created.record.name, name);
        core::set_field_text(created.record.company, company);
        created.record.type = type;
        created.record.best_time_ms = kNeverMeasuredMs;
        created.record.access_point_count = static_cast<int32_t>(access_points.size());
        for (AccessPointRecord incoming : access_points) {
            core::terminate_field(incoming.address);
            core::terminate_field(incoming.description);
            incoming.time_ms = kNeverMeasuredMs;
            incoming.probe_state = kProbeNotMeasured;
            incoming.scratch = 0;
            created.access_points.push_back(incoming);
        }
        entries_.insert(entries_.begin(), std::move(created));
        entry = &entries_.front();
    }
    write_entry_locked(*entry);
    dirty_ = others_dirty;
    return true;
}

void ServerList::write_entry_locked(const ServerEntry& entry) {
    if (entry.name() == core::field_text(entry.record.company)) return;
    write_store_file(server_file(entry.name()), serialize_server_file(entry, random_));
}

std::optional<ServerEntry> ServerList::find_copy(std::string_view name) {
    std::lock_guard guard(lock_);
    ServerEntry* entry = find_locked(name);
    if (entry == nullptr) return std::nullopt;
    ServerEntry copy = *entry;
    sort_access_points(copy.access_points);
    return copy;
}

std::optional<ServerEntry> ServerList::copy_at(size_t index) {
    std::lock_guard guard(lock_);
    if (index >= entries_.size()) return std::nullopt;
    return entries_[index];
}

size_t ServerList::size() {
    std::lock_guard guard(lock_);
    return entries_.size();
}

std::optional<std::string> ServerList::find_by_name_or_address(std::string_view text) {
    std::lock_guard guard(lock_);
    for (ServerEntry& entry : entries_) {
        if (entry.name() == text || entry.find_access_point(text) != nullptr) return std::string(entry.name());
    }
    return std::nullopt;
}

std::string ServerList::resolve_server_name(std::string_view name) {
    std::lock_guard guard(lock_);
    if (!name.empty() && find_locked(name) != nullptr) return std::string(name);
    for (const ServerEntry& entry : entries_) {
        if (entry.record.type == kServerTypeSelectable) return std::string(entry.name());
    }
    return {};
}

void ServerList::select_access_point(std::string_view name, std::string_view address) {
    std::lock_guard guard(lock_);
    ServerEntry* entry = find_locked(name);
    if (entry == nullptr) return;
    core::set_field_text(entry->record.selected_address, address);
    entry->record.selection_tick = clock_.tick_ms();
    dirty_ = true;
}

void ServerList::record_connect_time(std::string_view name, std::string_view address, int32_t time_ms) {
    std::lock_guard guard(lock_);
    ServerEntry* entry = find_locked(name);
    if (entry == nullptr) return;
    AccessPointRecord* point = entry->find_access_point(address);
    if (point == nullptr) return;
    point->time_ms = time_ms;
    point->probe_state = time_ms > kFailedMs ? kProbeUnreachable : kProbeReachable;
    entry->record.best_time_ms = best_time_of(*entry);
    dirty_ = true;
}

void ServerList::mark_selected_failed(std::string_view name) {
    std::lock_guard guard(lock_);
    ServerEntry* entry = find_locked(name);
    if (entry == nullptr || entry->selected_address().empty()) return;
    if (AccessPointRecord* point = entry->find_access_point(entry->selected_address())) point->time_ms = kFailedMs;
    clear_selection(entry->record);
    dirty_ = true;
}

void ServerList::reset_failures(std::string_view name) {
    std::lock_guard guard(lock_);
    ServerEntry* entry = find_locked(name);
    if (entry == nullptr) return;
    for (AccessPointRecord& point : entry->access_points) {
        if (point.time_ms == kFailedMs) point.time_ms = kNeverMeasuredMs;
    }
    dirty_ = true;
}

void ServerList::apply_probe_results(std::string_view name, std::span<const ProbeMeasurement> measurements) {
    std::lock_guard guard(lock_);
    ServerEntry* entry = find_locked(name);
    if (entry == nullptr) return;
    for (const ProbeMeasurement& measurement : measurements) {
        AccessPointRecord* point = entry->find_access_point(measurement.address);
        if (point == nullptr) continue;
        point->time_ms = measurement.time_ms;
        point->probe_state = measurement.time_ms >= kFailedMs ? kProbeUnreachable : kProbeReachable;
    }
    // The next connect goes through the measured order.
    clear_selection(entry->record);
    entry->record.selection_tick = clock_.tick_ms();
    dirty_ = true;
}

void ServerList::save() {
    std::lock_guard guard(lock_);
    save_locked();
}

void ServerList::save_locked() {
    if (!dirty_) return;
    for (const ServerEntry& entry : entries_) write_entry_locked(entry);
    dirty_ = false;
}

bool ServerList::dirty() {
    std::lock_guard guard(lock_);
    return dirty_;
}

}  // namespace kb::config
