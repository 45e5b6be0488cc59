#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace ambro::ptz {

// One line of a description file as the loader reads it: lines come in
// pieces of at most 79 characters; each piece is cut at '=', CR and LF into
// a key and a value. Key and value are upper-cased unless the key starts with
// "Ini Name ", so file names keep their case.
struct IniLine {
    std::string key;    // empty when the piece holds nothing but separators
    std::string value;
    bool hasPair = false;  // a value came after the key
};

// A description file read whole, with the searches the loader makes.
class IniFile {
public:
    // Far beyond any description file (the largest shipped is a few KB);
    // a larger file is not one.
    static constexpr std::size_t kLongestFile = 1 << 20;

    static std::optional<IniFile> open(const std::string& path);
    explicit IniFile(const std::string& text);

    const std::vector<IniLine>& lines() const { return lines_; }

    // The line after the first whose key is `section` (letter case ignored).
    std::optional<std::size_t> findSection(const std::string& section) const;

    // Searches pair by pair from `from` for `key`; a line without a pair, a
    // key beginning with "[", or the end of the file ends the search.
    std::optional<std::string> findKey(std::size_t from, const std::string& key) const;

    // Like findKey, but only a section header or the end of the file ends it.
    std::optional<std::string> findKeyBeforeNextSection(std::size_t from,
                                                        const std::string& key) const;

    static bool sameKey(const std::string& a, const std::string& b);

private:
    std::vector<IniLine> lines_;
};

// Numbers as the files write them; text that is not a number reads as 0.
long decimalValue(const std::string& text);
long hexadecimalValue(const std::string& text);

}  // namespace ambro::ptz
