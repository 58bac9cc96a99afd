#pragma once
#include <string>

namespace kb::platform {

// Environment variable and command-line option that move the program folder away from
// the executable's own folder (tests, packaged installs).
inline constexpr const char* kProgramFolderVariable = "KESTRELBAY_HOME";
inline constexpr const char* kProgramFolderOption = "--program-folder";

// The folder of the running executable (from /proc/self/exe), without a trailing '/'.
std::string executable_folder();

// The program folder: "--program-folder DIR" or "--program-folder=DIR" when given, else
// $KESTRELBAY_HOME when set and not empty, else the executable's folder. The option is
// removed from argv so that the caller's own parsing does not see it.
std::string resolve_program_folder(int& argc, char** argv);

}  // namespace kb::platform
