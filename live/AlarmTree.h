#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ambro::live {

// The images of the alarm tree's list (five 16 x 16 icons, 0 to 4).
enum class AlarmImage { Root = 0, Alarm = 1, NoAlarm = 2, Date = 4 };

// One change for the tree widget to apply. Nodes are numbered by the model;
// node 0 is the root "Alarm".
struct TreeOperation {
    enum class Kind { AddNode, Select, Expand };
    Kind kind = Kind::AddNode;
    int node = 0;
    int parent = 0;        // AddNode
    std::string text;      // AddNode
    AlarmImage image{};    // AddNode

    friend bool operator==(const TreeOperation&, const TreeOperation&) = default;
};

// The alarm tree of the input monitor "IO Control": dates under the root
// "Alarm", times under their date, alarm texts under their time. Entries
// with the same date and time share their nodes. User-interface thread.
class AlarmTree {
public:
    static constexpr int kRoot = 0;
    static constexpr std::string_view kRootText = "Alarm";
    static constexpr std::string_view kNoAlarm = "No Alarm";

    // The root node, to create the tree with.
    static TreeOperation root();

    // Adds one entry; nothing when a text is empty or the date or time is
    // not valid.
    std::vector<TreeOperation> add(std::string_view date, std::string_view time,
                                   std::string_view alarm);

    // A date "yyyy/mm/dd": two "/", the month (two characters after the
    // first) below 13, the day (after the second) below 32.
    static bool validDate(std::string_view date);
    // A time "hh:mm:ss": two ":", exactly 8 characters.
    static bool validTime(std::string_view time);

private:
    int addNode(std::vector<TreeOperation>& operations, int parent, std::string_view text,
                AlarmImage image);

    int nextNode_ = kRoot + 1;
    std::string lastDate_;
    std::string lastTime_;
    int dateNode_ = -1;
    int timeNode_ = -1;
};

}  // namespace ambro::live
