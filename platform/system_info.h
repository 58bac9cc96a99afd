#pragma once
#include <string>

namespace kb::platform {

// Readings of the user's environment and the running system. Each call reads afresh;
// safe from any thread (no global locale or other shared state is changed), except
// take_environment_value.

// The value of an environment variable; empty when it is unset.
std::string environment_value(const char* name);

// The value of an environment variable, which is then removed from the environment, so no
// child process inherits it (secrets handed over by whoever started the program). Changes
// the process environment: call it at start, before other threads run.
std::string take_environment_value(const char* name);

// The user's home folder: $HOME, else the password database's entry; empty when unknown.
std::string home_folder();

// The country of the user's address locale (LC_ADDRESS, falling back to LANG/LC_ALL as
// the C library does), e.g. "Germany"; empty when the locale names none or is "C".
std::string user_country_name();

struct KernelVersion {
    int major = 0;
    int minor = 0;
};
// Major and minor number of the running kernel (uname's release "6.1.0-13-amd64" gives
// 6 and 1); zeros when they can't be read.
KernelVersion kernel_version();

}  // namespace kb::platform
