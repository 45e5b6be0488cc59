#include "live/AlarmTree.h"

#include <algorithm>
#include <cstdlib>

namespace ambro::live {

namespace {

// The number a text starts with, as the C library reads it: 0 when it does
// not start with one.
int leadingNumber(std::string_view text) {
    const std::string copy(text);
    return std::atoi(copy.c_str());
}

}  // namespace

TreeOperation AlarmTree::root() {
    return {TreeOperation::Kind::AddNode, kRoot, -1, std::string(kRootText), AlarmImage::Root};
}

bool AlarmTree::validDate(std::string_view date) {
    if (std::count(date.begin(), date.end(), '/') != 2) return false;
    const std::size_t first = date.find('/');
    const std::size_t second = date.find('/', first + 1);
    const int month = leadingNumber(date.substr(first + 1, 2));
    const int day = leadingNumber(date.substr(second + 1));
    return month < 13 && day < 32;
}

bool AlarmTree::validTime(std::string_view time) {
    return time.size() == 8 && std::count(time.begin(), time.end(), ':') == 2;
}

int AlarmTree::addNode(std::vector<TreeOperation>& operations, int parent, std::string_view text,
                       AlarmImage image) {
    const int node = nextNode_++;
    operations.push_back({TreeOperation::Kind::AddNode, node, parent, std::string(text), image});
    return node;
}

std::vector<TreeOperation> AlarmTree::add(std::string_view date, std::string_view time,
                                          std::string_view alarm) {
    std::vector<TreeOperation> operations;
    if (date.empty() || time.empty() || alarm.empty() || !validDate(date) || !validTime(time)) {
        return operations;
    }
    if (date != lastDate_ || dateNode_ < 0) {
        dateNode_ = addNode(operations, kRoot, date, AlarmImage::Date);
        lastDate_ = date;
        lastTime_.clear();
    }
    const bool noAlarm = alarm == kNoAlarm;
    if (noAlarm || time != lastTime_ || timeNode_ < 0) {
        timeNode_ =
            addNode(operations, dateNode_, time, noAlarm ? AlarmImage::NoAlarm : AlarmImage::Alarm);
        lastTime_ = time;
    }
    const int entry =
        addNode(operations, timeNode_, alarm, noAlarm ? AlarmImage::NoAlarm : AlarmImage::Alarm);
    operations.push_back({TreeOperation::Kind::Select, entry, 0, {}, {}});
    operations.push_back({TreeOperation::Kind::Expand, timeNode_, 0, {}, {}});
    return operations;
}

}  // namespace ambro::live
