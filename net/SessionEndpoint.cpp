#include "net/SessionEndpoint.h"

#include <cctype>


namespace ambro::net {

std::string lowByteText(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (char16_t character : text) bytes += static_cast<char>(character & 0xFF);
    return bytes;
}

std::optional<std::uint16_t> parsePortText(std::string_view text) {
    std::size_t position = 0;
    while (position < text.size() && std::isspace(static_cast<unsigned char>(text[position]))) {
        ++position;
    }
    unsigned long value = 0;
    std::size_t digits = 0;
    for (; position < text.size() && std::isdigit(static_cast<unsigned char>(text[position]));
         ++position, ++digits) {
        value = value * 10 + static_cast<unsigned long>(text[position] - '0');
        if (value > 0xFFFF) return std::nullopt;
    }
    if (digits == 0) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace ambro::net
