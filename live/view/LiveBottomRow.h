#pragma once

#include <QComboBox>
#include <functional>
#include <string>

#include "live/ToolbarModel.h"

class QLabel;
class QLineEdit;
class QWidget;

namespace ambro::live {

// The camera selector: tells the window when its list is about to drop
// down, so that an empty list can be filled first.
class CameraComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    void setDropDownHandler(std::function<void()> handler) { dropDown_ = std::move(handler); }
    void showPopup() override;

private:
    std::function<void()> dropDown_;
};

// The bottom row of the live view, laid over the bottom of the picture
// area in five equal columns: the label ("Time", "Wait", "IO Time",
// "IO Wait" or "Preset") and its field, the label "Camera", and the camera
// selector over the last two columns.
class LiveBottomRow {
public:
    explicit LiveBottomRow(QWidget* parent);

    // The row's height: that of the camera selector.
    int height() const;
    // Places the row at the bottom of a client area of this size.
    void layout(int clientWidth, int clientHeight);
    // Which label and field the first two columns show.
    void showPair(BottomPair pair, const std::string& label);
    // Full-screen mode hides the whole row.
    void setVisible(bool visible);
    bool visible() const { return visible_; }

    CameraComboBox* cameraList() const { return cameraList_; }
    QComboBox* presetList() const { return presetList_; }
    QLabel* label() const { return label_; }

private:
    void applyVisibility();

    QLabel* label_;
    QLineEdit* timeField_;
    QLineEdit* ioField_;
    QComboBox* presetList_;
    QLabel* cameraLabel_;
    CameraComboBox* cameraList_;
    BottomPair pair_ = BottomPair::Time;
    bool visible_ = true;
};

}  // namespace ambro::live
