#include "core/data_folders.h"

#include "platform/files.h"

namespace kb::core {

void prepare_data_folders(const std::string& program_folder) {
    for (std::string_view name : kDataFolders) {
        std::string path = platform::join_path(program_folder, name);
        if (!platform::directory_exists(path)) platform::make_directory(path);
    }
}

UpdaterSwap install_downloaded_updater(const std::string& program_folder) {
    std::string download = platform::join_path(program_folder, kDownloadedUpdaterFile);
    if (!platform::file_exists(download)) return UpdaterSwap::NothingDownloaded;
    if (!platform::copy_file(download, platform::join_path(program_folder, kUpdaterFile))) return UpdaterSwap::Kept;
    platform::remove_file(download);
    return UpdaterSwap::Installed;
}

}  // namespace kb::core
