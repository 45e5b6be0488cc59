#include "tools/cli/TextOutput.h"

#include <cstdio>

namespace ambro::cli {

std::string terminalText(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (unsigned char c : text) {
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            shown += '?';
        } else if (c < 0x80) {
            shown += static_cast<char>(c);
        } else {
            shown += static_cast<char>(0xC0 | (c >> 6));
            shown += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return shown;
}

std::string jsonText(const std::string& text) {
    std::string quoted = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            quoted += escaped;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    quoted += '"';
    return quoted;
}

std::string jsonList(const std::vector<std::string>& texts) {
    std::string list = "[";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0) list += ',';
        list += jsonText(texts[i]);
    }
    list += ']';
    return list;
}

}  // namespace ambro::cli
