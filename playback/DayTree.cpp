#include "playback/DayTree.h"

#include <algorithm>
#include <string>

namespace ambro::playback {

namespace {

template <typename Node>
Node& findOrAdd(std::vector<Node>& nodes, const std::string& text) {
    const auto found =
        std::find_if(nodes.begin(), nodes.end(), [&](const Node& node) { return node.text == text; });
    if (found != nodes.end()) return *found;
    nodes.push_back(Node{text, {}});
    return nodes.back();
}

}  // namespace

std::uint32_t RecordingDay::number() const {
    std::uint32_t value = 0;
    for (const char c : year + month + day) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value;
}

std::optional<RecordingDay> recordingDayOf(std::uint32_t number) {
    const std::string text = std::to_string(number);
    if (text.size() != 8) return std::nullopt;
    return RecordingDay{text.substr(0, 4), text.substr(4, 2), text.substr(6, 2)};
}

DayTree buildDayTree(const std::vector<std::uint32_t>& days) {
    DayTree tree;
    for (const std::uint32_t number : days) {
        if (number == 0) break;
        const auto day = recordingDayOf(number);
        if (!day) continue;
        findOrAdd(findOrAdd(tree.years, day->year).months, day->month).days.push_back(day->day);
    }
    return tree;
}

std::vector<RecordingDay> DayTree::days() const {
    std::vector<RecordingDay> all;
    for (const auto& year : years) {
        for (const auto& month : year.months) {
            for (const auto& day : month.days) all.push_back({year.text, month.text, day});
        }
    }
    return all;
}

}  // namespace ambro::playback
