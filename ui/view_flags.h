#pragma once
#include <cstdint>
#include <string_view>

#include "core/settings_store.h"

namespace kb::ui {

// A view's flags live in the window section of the settings store: read once when the
// view is made, written back when it goes and only when they changed, so a view that was
// merely looked at leaves the store untouched.
inline uint32_t read_view_flags(const core::SettingsStore& settings, std::string_view key, uint32_t default_flags) {
    return static_cast<uint32_t>(settings.read_number(core::kSectionWindow, key, static_cast<int32_t>(default_flags)));
}

inline void write_view_flags_if_changed(core::SettingsStore& settings, std::string_view key, uint32_t stored,
                                        uint32_t flags) {
    if (flags != stored) settings.write_number(core::kSectionWindow, key, static_cast<int32_t>(flags));
}

}  // namespace kb::ui
