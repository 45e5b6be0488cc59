#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ambro::cli {

// ambro-cli decode --width W --height H --out DIR [--stream] INPUT...
// Decodes frame payloads as a session does and writes every picture produced.
const char* decodeUsage();

int runDecode(const std::vector<std::string>& words, std::ostream& out, std::ostream& err);

}  // namespace ambro::cli
