#include "tests/support/temp_folder.h"

#include <cstdlib>
#include <filesystem>

namespace kb::testing {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kb-test-XXXXXX").string();
    if (char* made = ::mkdtemp(pattern.data())) path_ = made;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::file(const std::string& name) const { return path_ + "/" + name; }

}  // namespace kb::testing
