#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "live/ViewKind.h"
#include "net/CameraList.h"

namespace ambro::live {

// One entry of the camera selector: a present camera or a multi-camera view.
struct CameraListEntry {
    std::string name;
    int camera = -1;                // 0-based camera index; -1 for a view
    std::optional<ViewKind> view;   // set for a view entry
};

// What selecting a list position asks of the server.
struct CameraSelection {
    int position = -1;
    // Older generation: the camera-select payload, the camera index or the
    // view code 32 + k.
    std::int32_t payload = 0;
    // Current generation: the video-channels mask of the entry's camera.
    std::uint32_t channelMask = 0;
};

// The camera selector of the live view: the present cameras in table order,
// then the views the server offers. A view's cell opens the camera it shows
// by that camera's own entry, so cameras missing from the table never shift
// a cell onto the wrong camera.
class CameraListModel {
public:
    static constexpr int kNameSize = 64;
    static constexpr int kLargeTableVersion = 8300;

    // Entries of the older generation's camera table for a server version:
    // 32 below 8300, 64 from it.
    static int tableEntries(int serverVersion);
    // Bytes of that table: the names, then one int32 presence flag each.
    static std::size_t tableSize(int serverVersion);

    CameraListModel() = default;

    // Older generation: the camera table as the camera list reply filled it
    // (bytes missing at its end read as zero) and the view word of the hello
    // reply. A camera is present when its flag is 1.
    static CameraListModel fromCameraTable(std::span<const std::uint8_t> table, int serverVersion,
                                           std::uint32_t viewWord);
    // Current generation: the cameras of the server's list; no views.
    static CameraListModel fromCameras(const std::vector<net::CameraEntry>& cameras);

    int size() const { return static_cast<int>(entries_.size()); }
    // N: the cameras ahead of the views.
    int cameraCount() const { return cameraCount_; }
    bool valid(int position) const { return position >= 0 && position < size(); }
    // The entry at a valid position.
    const CameraListEntry& entry(int position) const { return entries_.at(position); }
    std::vector<std::string> names() const;

    bool isView(int position) const { return viewAt(position).has_value(); }
    std::optional<ViewKind> viewAt(int position) const;
    // The camera index of a camera entry, -1 for a view or an invalid position.
    int cameraAt(int position) const;
    std::optional<int> positionOfCamera(int camera) const;
    std::optional<int> positionOfView(ViewKind view) const;

    // The position to select when the list is filled: with the "17~32"
    // view offered, the "1~16" view when it is there; otherwise the last
    // view; none without views. Current-generation lists start on their
    // first camera.
    std::optional<int> initialSelection() const;

    // What selecting a valid position sends; nullopt for an invalid one.
    std::optional<CameraSelection> selectionFor(int position) const;

    // The list position of the camera that a view's cell shows (cell 0 of
    // "17~32" is camera 17); nullopt when that camera is not in the list.
    std::optional<int> positionOfCell(ViewKind view, int cell) const;

private:
    std::vector<CameraListEntry> entries_;
    int cameraCount_ = 0;
    bool startsOnFirstCamera_ = false;
};

}  // namespace ambro::live
