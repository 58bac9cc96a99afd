#include "config/config_paths.h"

#include "platform/files.h"

namespace kb::config {

std::string config_file(std::string_view program_folder, std::string_view name) {
    return platform::join_path(platform::join_path(program_folder, "config"), name);
}

std::string profiles_file(std::string_view program_folder, std::string_view name) {
    return platform::join_path(platform::join_path(program_folder, "profiles"), name);
}

}  // namespace kb::config
