// The settings file as any bytes: parsing never fails, a rewrite is stable (what we
// write reads back to the same document), and a value set into it can be found.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    kb::core::SettingsDocument document = kb::core::SettingsDocument::parse(input);
    std::string once = document.serialise();
    if (kb::core::SettingsDocument::parse(once).serialise() != once) std::abort();

    document.set("Software\\Quorvantis Software\\Kestrelbay 4 Mobile\\Window", "ActiveTab", 7);
    kb::core::SettingsDocument reread = kb::core::SettingsDocument::parse(document.serialise());
    const kb::core::SettingsValue* value =
        reread.find("software\\quorvantis software\\kestrelbay 4 mobile\\window", "activetab");
    if (!value || std::get<int32_t>(*value) != 7) std::abort();
    return 0;
}
