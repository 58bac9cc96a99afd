#include "platform/system_info.h"

#include <langinfo.h>
#include <locale.h>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kb::platform {

std::string environment_value(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string take_environment_value(const char* name) {
    std::string value = environment_value(name);
    ::unsetenv(name);
    return value;
}

std::string home_folder() {
    std::string home = environment_value("HOME");
    if (!home.empty()) return home;
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return {};
}

std::string user_country_name() {
    // A private locale object, so the process-wide locale stays as it is.
    locale_t address = ::newlocale(LC_ADDRESS_MASK, "", static_cast<locale_t>(nullptr));
    if (address == static_cast<locale_t>(nullptr)) return {};
    const char* name = ::nl_langinfo_l(_NL_ADDRESS_COUNTRY_NAME, address);
    std::string country = name ? name : "";
    ::freelocale(address);
    return country;
}

KernelVersion kernel_version() {
    utsname names{};
    KernelVersion version;
    if (::uname(&names) != 0) return version;
    if (std::sscanf(names.release, "%d.%d", &version.major, &version.minor) != 2) return KernelVersion{};
    return version;
}

}  // namespace kb::platform
