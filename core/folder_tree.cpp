#include "core/folder_tree.h"

#include "platform/files.h"

namespace kb::core {

// A file's own permission bits don't stop its removal here (only the folder's do), so
// unlike on the handheld there are no attributes to clear first.
int delete_folder_tree(const std::string& folder, const std::string& mask) {
    if (!platform::directory_exists(folder) || platform::is_symbolic_link(folder)) return 0;
    int removed = 0;
    for (const platform::FolderEntry& entry : platform::list_folder(folder, mask)) {
        std::string path = platform::join_path(folder, entry.name);
        if (entry.is_directory && !platform::is_symbolic_link(path)) {
            removed += delete_folder_tree(path, mask);
        } else if (platform::remove_file(path)) {
            ++removed;
        }
    }
    if (platform::remove_directory(folder)) ++removed;
    return removed;
}

}  // namespace kb::core
