#include "platform/program_folder.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

namespace kb::platform {

std::string executable_folder() {
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string full(path, static_cast<size_t>(n));
    size_t slash = full.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return full.substr(0, slash);
}

std::string resolve_program_folder(int& argc, char** argv) {
    std::string chosen;
    const size_t option_length = std::strlen(kProgramFolderOption);
    for (int i = 1; i < argc; ++i) {
        int consumed = 0;
        if (std::strcmp(argv[i], kProgramFolderOption) == 0 && i + 1 < argc) {
            chosen = argv[i + 1];
            consumed = 2;
        } else if (std::strncmp(argv[i], kProgramFolderOption, option_length) == 0 && argv[i][option_length] == '=') {
            chosen = argv[i] + option_length + 1;
            consumed = 1;
        }
        if (consumed == 0) continue;
        for (int j = i; j + consumed <= argc; ++j) argv[j] = argv[j + consumed];
        argc -= consumed;
        --i;
    }
    if (chosen.empty()) {
        const char* env = std::getenv(kProgramFolderVariable);
        if (env && *env) chosen = env;
    }
    if (chosen.empty()) chosen = executable_folder();
    while (chosen.size() > 1 && chosen.back() == '/') chosen.pop_back();
    return chosen;
}

}  // namespace kb::platform
