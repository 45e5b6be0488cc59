#include "live/LiveTables.h"

#include <algorithm>

#include "live/CameraListModel.h"

namespace ambro::live {

void LiveTables::setServer(std::int32_t version, std::uint32_t viewWord) {
    std::lock_guard lock(mutex_);
    serverVersion_ = version;
    viewWord_ = viewWord;
}

std::int32_t LiveTables::serverVersion() const {
    std::lock_guard lock(mutex_);
    return serverVersion_;
}

std::uint32_t LiveTables::viewWord() const {
    std::lock_guard lock(mutex_);
    return viewWord_;
}

void LiveTables::setCameraTable(std::span<const std::uint8_t> payload) {
    std::lock_guard lock(mutex_);
    const std::size_t size = CameraListModel::tableSize(serverVersion_);
    cameraTable_.assign(size, 0);
    std::copy_n(payload.begin(), std::min(size, payload.size()), cameraTable_.begin());
}

std::vector<std::uint8_t> LiveTables::cameraTable() const {
    std::lock_guard lock(mutex_);
    return cameraTable_;
}

void LiveTables::setStatusArea(std::span<const std::uint8_t> payload) {
    std::lock_guard lock(mutex_);
    statusArea_.fill(0);
    std::copy_n(payload.begin(), std::min(statusArea_.size(), payload.size()), statusArea_.begin());
}

CameraStatusTable LiveTables::statusTable() const {
    std::lock_guard lock(mutex_);
    CameraStatusTable table{};
    std::copy_n(statusArea_.begin(), table.size(), table.begin());
    return table;
}

void LiveTables::setModules(std::vector<IoModule> modules) {
    std::lock_guard lock(mutex_);
    modules_ = std::move(modules);
}

std::vector<IoModule> LiveTables::modules() const {
    std::lock_guard lock(mutex_);
    return modules_;
}

void LiveTables::setSelection(const CameraSelectWords& words) {
    std::lock_guard lock(mutex_);
    selection_ = words;
}

CameraSelectWords LiveTables::selection() const {
    std::lock_guard lock(mutex_);
    return selection_;
}

}  // namespace ambro::live
