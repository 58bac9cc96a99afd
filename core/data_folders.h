#pragma once
#include <string>
#include <string_view>

namespace kb::core {

// The folders beside the program that start makes when they are missing.
inline constexpr std::string_view kDataFolders[] = {"config", "logs", "history", "profiles", "mailbox"};
// The updater and the copy of it that an update check downloads.
inline constexpr std::string_view kUpdaterFile = "refreshkit";
inline constexpr std::string_view kDownloadedUpdaterFile = "refreshkit.new";

// Creates each data folder under program_folder that doesn't exist. Failures are not
// reported here: whoever writes a file there reports its own.
void prepare_data_folders(const std::string& program_folder);

enum class UpdaterSwap { NothingDownloaded, Installed, Kept };

// When a downloaded updater waits in the program folder, copies it over the updater and
// deletes the download, but only once the copy succeeded. When the copy fails (the
// updater is read-only, busy or not a file) both stay as they are and the next start
// tries again.
UpdaterSwap install_downloaded_updater(const std::string& program_folder);

}  // namespace kb::core
