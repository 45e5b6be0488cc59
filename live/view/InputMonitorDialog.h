#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "live/AlarmTree.h"
#include "live/LiveSessionObserver.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace ambro::live {

// The input monitor "IO Control": an "Exit" button and the alarm tree rooted
// at "Alarm", which grows by one entry per input of every alarm reported
// while the monitor is open.
class InputMonitorDialog : public QDialog {
public:
    // `inputNames[m][i]`: the name of input i of module m + 1.
    InputMonitorDialog(std::vector<std::vector<std::string>> inputNames, QWidget* parent = nullptr);

    void addAlarm(const AlarmInputs& alarm);

    QTreeWidget* tree() const { return tree_; }
    QPushButton* exitButton() const { return exit_; }

private:
    void apply(const std::vector<TreeOperation>& operations);

    const std::vector<std::vector<std::string>> inputNames_;
    AlarmTree alarms_;
    QTreeWidget* tree_;
    QPushButton* exit_;
    // The tree's items by the model's node numbers.
    std::vector<QTreeWidgetItem*> items_;
};

}  // namespace ambro::live
