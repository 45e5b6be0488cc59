#include "live/view/InputMonitorDialog.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "live/AlarmReport.h"
#include "live/view/ToolbarIcons.h"

namespace ambro::live {

InputMonitorDialog::InputMonitorDialog(std::vector<std::vector<std::string>> inputNames,
                                       QWidget* parent)
    : QDialog(parent),
      inputNames_(std::move(inputNames)),
      tree_(new QTreeWidget(this)),
      exit_(new QPushButton(QStringLiteral("Exit"), this)) {
    setWindowTitle(QStringLiteral("IO Control"));
    setModal(true);
    tree_->setColumnCount(1);
    tree_->header()->hide();
    tree_->setIconSize(QSize(16, 16));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(exit_, 0, Qt::AlignLeft);
    layout->addWidget(tree_, 1);
    connect(exit_, &QPushButton::clicked, this, &QDialog::accept);
    apply({AlarmTree::root()});
    resize(320, 360);
}

void InputMonitorDialog::addAlarm(const AlarmInputs& alarm) {
    const auto report = buildAlarmReport(alarm.masks, alarm.time, inputNames_);
    if (!report) return;
    for (const std::string& text : report->alarms) {
        apply(alarms_.add(report->date, report->time, text));
    }
}

void InputMonitorDialog::apply(const std::vector<TreeOperation>& operations) {
    for (const TreeOperation& operation : operations) {
        if (operation.kind == TreeOperation::Kind::AddNode) {
            QTreeWidgetItem* item = nullptr;
            if (operation.parent < 0) {
                item = new QTreeWidgetItem(tree_);
            } else {
                item = new QTreeWidgetItem(items_.at(static_cast<std::size_t>(operation.parent)));
            }
            item->setText(0, QString::fromStdString(operation.text));
            item->setIcon(0, alarmIcon(operation.image));
            if (items_.size() <= static_cast<std::size_t>(operation.node)) {
                items_.resize(static_cast<std::size_t>(operation.node) + 1, nullptr);
            }
            items_[static_cast<std::size_t>(operation.node)] = item;
            continue;
        }
        QTreeWidgetItem* item = items_.at(static_cast<std::size_t>(operation.node));
        if (operation.kind == TreeOperation::Kind::Select) {
            // Selecting an entry brings it into view, opening its date.
            tree_->setCurrentItem(item);
            tree_->scrollToItem(item);
        } else {
            item->setExpanded(true);
        }
    }
}

}  // namespace ambro::live
