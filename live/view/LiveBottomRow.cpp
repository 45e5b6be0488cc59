#include "live/view/LiveBottomRow.h"

#include <QLabel>
#include <QLineEdit>

#include "live/PictureLayout.h"

namespace ambro::live {

namespace {

QRect toQRect(const PixelRect& rect) { return {rect.x, rect.y, rect.width, rect.height}; }

QLineEdit* readOnlyField(QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    return field;
}

}  // namespace

void CameraComboBox::showPopup() {
    if (dropDown_) dropDown_();
    QComboBox::showPopup();
}

LiveBottomRow::LiveBottomRow(QWidget* parent)
    : label_(new QLabel(QStringLiteral("Time"), parent)),
      timeField_(readOnlyField(parent)),
      ioField_(readOnlyField(parent)),
      presetList_(new QComboBox(parent)),
      cameraLabel_(new QLabel(QStringLiteral("Camera"), parent)),
      cameraList_(new CameraComboBox(parent)) {
    for (QLabel* label : {label_, cameraLabel_}) {
        label->setAlignment(Qt::AlignCenter);
        label->setAutoFillBackground(true);
    }
    presetList_->setFocusPolicy(Qt::NoFocus);
    cameraList_->setFocusPolicy(Qt::NoFocus);
    applyVisibility();
}

int LiveBottomRow::height() const { return cameraList_->sizeHint().height(); }

void LiveBottomRow::layout(int clientWidth, int clientHeight) {
    const BottomRowLayout row = bottomRowLayout(clientWidth, clientHeight, height());
    label_->setGeometry(toQRect(row.label));
    for (QWidget* field : {static_cast<QWidget*>(timeField_), static_cast<QWidget*>(ioField_),
                           static_cast<QWidget*>(presetList_)}) {
        field->setGeometry(toQRect(row.field));
    }
    cameraLabel_->setGeometry(toQRect(row.cameraLabel));
    cameraList_->setGeometry(toQRect(row.cameraList));
}

void LiveBottomRow::showPair(BottomPair pair, const std::string& label) {
    pair_ = pair;
    label_->setText(QString::fromStdString(label));
    applyVisibility();
}

void LiveBottomRow::setVisible(bool visible) {
    visible_ = visible;
    applyVisibility();
}

void LiveBottomRow::applyVisibility() {
    label_->setVisible(visible_);
    cameraLabel_->setVisible(visible_);
    cameraList_->setVisible(visible_);
    timeField_->setVisible(visible_ && pair_ == BottomPair::Time);
    ioField_->setVisible(visible_ && pair_ == BottomPair::Io);
    presetList_->setVisible(visible_ && pair_ == BottomPair::Preset);
}

}  // namespace ambro::live
