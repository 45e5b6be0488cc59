#include "live/CameraListModel.h"

#include <algorithm>

#include "net/FixedText.h"
#include "platform/ByteOrder.h"

namespace ambro::live {

int CameraListModel::tableEntries(int serverVersion) {
    return serverVersion < kLargeTableVersion ? 32 : 64;
}

std::size_t CameraListModel::tableSize(int serverVersion) {
    return static_cast<std::size_t>(tableEntries(serverVersion)) * (kNameSize + 4);
}

CameraListModel CameraListModel::fromCameraTable(std::span<const std::uint8_t> table,
                                                 int serverVersion, std::uint32_t viewWord) {
    // A short reply leaves the rest of the zeroed table as it was.
    std::vector<std::uint8_t> full(tableSize(serverVersion), 0);
    std::copy_n(table.begin(), std::min(table.size(), full.size()), full.begin());

    CameraListModel model;
    const int entries = tableEntries(serverVersion);
    const std::uint8_t* flags = full.data() + static_cast<std::size_t>(entries) * kNameSize;
    for (int camera = 0; camera < entries; ++camera) {
        if (platform::loadLe32(flags + camera * 4) != 1) continue;
        const std::span<const std::uint8_t> name(full.data() + camera * kNameSize, kNameSize);
        model.entries_.push_back({net::fixedText(name), camera, std::nullopt});
    }
    model.cameraCount_ = model.size();
    for (ViewKind view : kViewKinds) {
        if (viewWordHas(viewWord, view)) model.entries_.push_back({viewName(view), -1, view});
    }
    return model;
}

CameraListModel CameraListModel::fromCameras(const std::vector<net::CameraEntry>& cameras) {
    CameraListModel model;
    for (const auto& camera : cameras) {
        if (camera.number < 1 || camera.number > 32) continue;
        model.entries_.push_back({camera.name, camera.number - 1, std::nullopt});
    }
    model.cameraCount_ = model.size();
    model.startsOnFirstCamera_ = true;
    return model;
}

std::vector<std::string> CameraListModel::names() const {
    std::vector<std::string> names;
    for (const auto& entry : entries_) names.push_back(entry.name);
    return names;
}

std::optional<ViewKind> CameraListModel::viewAt(int position) const {
    return valid(position) ? entries_[position].view : std::nullopt;
}

int CameraListModel::cameraAt(int position) const {
    return valid(position) ? entries_[position].camera : -1;
}

std::optional<int> CameraListModel::positionOfCamera(int camera) const {
    for (int position = 0; position < cameraCount_; ++position) {
        if (entries_[position].camera == camera) return position;
    }
    return std::nullopt;
}

std::optional<int> CameraListModel::positionOfView(ViewKind view) const {
    for (int position = cameraCount_; position < size(); ++position) {
        if (entries_[position].view == view) return position;
    }
    return std::nullopt;
}

std::optional<int> CameraListModel::initialSelection() const {
    if (startsOnFirstCamera_) return size() > 0 ? std::optional<int>(0) : std::nullopt;
    if (size() == cameraCount_) return std::nullopt;
    if (positionOfView(ViewKind::Second16Channel)) {
        if (const auto first16 = positionOfView(ViewKind::First16Channel)) return first16;
    }
    return size() - 1;
}

std::optional<CameraSelection> CameraListModel::selectionFor(int position) const {
    if (!valid(position)) return std::nullopt;
    const CameraListEntry& selected = entries_[position];
    CameraSelection selection;
    selection.position = position;
    if (selected.view) {
        selection.payload = viewCode(*selected.view);
    } else {
        selection.payload = selected.camera;
        if (selected.camera < 32) selection.channelMask = 1u << selected.camera;
    }
    return selection;
}

std::optional<int> CameraListModel::positionOfCell(ViewKind view, int cell) const {
    const int cells = gridSize(view) * gridSize(view);
    if (cell < 0 || cell >= cells) return std::nullopt;
    return positionOfCamera(firstCameraOf(view) + cell);
}

}  // namespace ambro::live
