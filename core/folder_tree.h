#pragma once
#include <string>

namespace kb::core {

// Deletes a folder tree: every entry of folder whose name matches the shell wildcard
// mask ("*", "*.hst") is removed, files directly and sub-folders by the same rule
// applied to them, then folder itself is removed (which fails, harmlessly, while
// entries that don't match remain). Symbolic links are removed, never followed.
// Returns the number of files and folders removed; 0 for a missing folder. Any thread,
// as long as no one else writes into the tree meanwhile.
int delete_folder_tree(const std::string& folder, const std::string& mask);

}  // namespace kb::core
