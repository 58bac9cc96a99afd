#pragma once
#include <string>
#include <string_view>

namespace kb::config {

// "<program folder>/config/<name>": the configuration files and server entries.
std::string config_file(std::string_view program_folder, std::string_view name);
// "<program folder>/profiles/<name>": saved accounts, branding, updater hand-off.
std::string profiles_file(std::string_view program_folder, std::string_view name);

}  // namespace kb::config
