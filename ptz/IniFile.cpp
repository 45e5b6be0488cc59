#include "ptz/IniFile.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace ambro::ptz {

namespace {

constexpr std::size_t kPieceLength = 79;
constexpr const char* kKeepCasePrefix = "Ini Name ";

bool isSeparator(char c) { return c == '=' || c == '\r' || c == '\n'; }

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The first two runs of non-separator characters of a piece.
IniLine parsePiece(const std::string& piece) {
    std::string tokens[2];
    int found = 0;
    std::size_t i = 0;
    while (found < 2 && i < piece.size()) {
        while (i < piece.size() && isSeparator(piece[i])) ++i;
        const std::size_t start = i;
        while (i < piece.size() && !isSeparator(piece[i])) ++i;
        if (i > start) tokens[found++] = piece.substr(start, i - start);
    }
    IniLine line;
    line.key = tokens[0];
    line.value = tokens[1];
    line.hasPair = found == 2;
    if (line.key.rfind(kKeepCasePrefix, 0) != 0) {
        line.key = upper(line.key);
        line.value = upper(line.value);
    }
    return line;
}

}  // namespace

// Only a regular file is read; a folder, a device or a file that cannot be
// read is no description. Read errors end in nullopt, never in an exception.
std::optional<IniFile> IniFile::open(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::string text;
    char piece[4096];
    while (file.read(piece, sizeof piece) || file.gcount() > 0) {
        text.append(piece, static_cast<std::size_t>(file.gcount()));
        if (text.size() > kLongestFile) return std::nullopt;
    }
    if (file.bad()) return std::nullopt;
    return IniFile(text);
}

IniFile::IniFile(const std::string& text) {
    // Pieces as a fixed 80-byte line buffer reads them: up to and including a
    // line feed, and never more than 79 characters.
    std::size_t position = 0;
    while (position < text.size()) {
        std::size_t end = position;
        while (end < text.size() && end - position < kPieceLength) {
            if (text[end++] == '\n') break;
        }
        lines_.push_back(parsePiece(text.substr(position, end - position)));
        position = end;
    }
}

bool IniFile::sameKey(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::optional<std::size_t> IniFile::findSection(const std::string& section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (sameKey(lines_[i].key, section)) return i + 1;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::findKey(std::size_t from, const std::string& key) const {
    for (std::size_t i = from; i < lines_.size(); ++i) {
        const IniLine& line = lines_[i];
        if (!line.hasPair || line.key.rfind('[', 0) == 0) return std::nullopt;
        if (sameKey(line.key, key)) return line.value;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::findKeyBeforeNextSection(std::size_t from,
                                                             const std::string& key) const {
    for (std::size_t i = from; i < lines_.size(); ++i) {
        const IniLine& line = lines_[i];
        if (line.key.rfind('[', 0) == 0) return std::nullopt;
        if (line.hasPair && sameKey(line.key, key)) return line.value;
    }
    return std::nullopt;
}

long decimalValue(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 10);
}

long hexadecimalValue(const std::string& text) {
    return std::strtol(text.c_str(), nullptr, 16);
}

}  // namespace ambro::ptz
