#pragma once

#include <string>
#include <vector>

namespace ambro::cli {

// Texts from a server are 8-bit (Latin-1 in practice) and may hold anything.
// For a terminal: control bytes (C0, DEL and C1) become '?', so a name can
// neither move the cursor nor retitle or recolour the user's terminal, and
// the other bytes are written as UTF-8.
std::string terminalText(const std::string& text);

// A JSON string literal of the text, every byte outside printable ASCII
// escaped as the Latin-1 code point it stands for.
std::string jsonText(const std::string& text);
std::string jsonList(const std::vector<std::string>& texts);

}  // namespace ambro::cli
