#include "core/branding.h"

namespace kb::core {

std::string first_characters(std::string_view text, size_t limit) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        bool starts_character = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (starts_character && characters++ == limit) return std::string(text.substr(0, i));
    }
    return std::string(text);
}

void Branding::set_company_name(std::string_view text) { company_name_ = first_characters(text, kCompanyNameLimit); }
void Branding::set_program_title(std::string_view text) { program_title_ = first_characters(text, kProgramTitleLimit); }
void Branding::set_short_name(std::string_view text) { short_name_ = first_characters(text, kShortNameLimit); }

void Branding::reset_to_defaults() { *this = Branding(); }

}  // namespace kb::core
