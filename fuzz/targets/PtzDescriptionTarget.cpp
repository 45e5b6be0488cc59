#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/targets/FuzzTargets.h"
#include "ptz/PtzProtocol.h"

namespace ambro::fuzz {

namespace {

namespace fs = std::filesystem;

// A PTZ folder of this process, removed when it ends.
class ScratchFolder {
public:
    ScratchFolder() {
        const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm")
                                                           : fs::temp_directory_path();
        std::string pattern = (base / "ambro-fuzz-ptz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code error;
        if (!path_.empty()) fs::remove_all(path_, error);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void writeFile(const fs::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

constexpr ptz::PtzAction kActions[] = {
    ptz::PtzAction::PanLeft,   ptz::PtzAction::PanRight, ptz::PtzAction::TiltUp,
    ptz::PtzAction::TiltDown,  ptz::PtzAction::ZoomIn,   ptz::PtzAction::ZoomOut,
    ptz::PtzAction::FocusNear, ptz::PtzAction::FocusFar, ptz::PtzAction::PanStop,
    ptz::PtzAction::TiltStop,  ptz::PtzAction::ZoomStop, ptz::PtzAction::FocusStop,
    ptz::PtzAction::Home,      ptz::PtzAction::AutoFocus,
};
constexpr ptz::DomeAction kDomeActions[] = {
    ptz::DomeAction::PanLeft,  ptz::DomeAction::PanRight, ptz::DomeAction::TiltUp,
    ptz::DomeAction::TiltDown, ptz::DomeAction::ZoomOut,  ptz::DomeAction::ZoomIn,
    ptz::DomeAction::Home,     ptz::DomeAction::AutoMove, ptz::DomeAction::FocusNear,
    ptz::DomeAction::FocusFar, ptz::DomeAction::AutoFocus,
};

void checkPacket(const ptz::PtzPacket& packet) {
    if (packet.length > packet.bytes.size()) broken("packet longer than its buffer");
    for (const auto& typed : ptz::commandsOfPacket(packet)) {
        if (typed.command.length < 0 || typed.command.length > ptz::PtzProtocol::kCommandRoom) {
            broken("command longer than its room");
        }
    }
}

void buildEverything(const ptz::PtzProtocol& protocol) {
    for (const auto action : kActions) {
        if (const auto packet = protocol.packet(action)) checkPacket(*packet);
    }
    for (int i = -1; i <= protocol.advancedFunctionCount() + 1; ++i) {
        if (const auto packet = protocol.advancedFunction(i)) checkPacket(*packet);
        if (i >= 0 && i < protocol.advancedFunctionCount()) (void)protocol.advancedFunctionName(i);
    }
    for (int i = -1; i <= ptz::PtzProtocol::kMaxPresets; ++i) {
        checkPacket(protocol.presetSet(i));
        checkPacket(protocol.presetGo(i));
    }
    for (const auto action : kDomeActions) (void)protocol.commands(action);
    for (int n = 0; n <= ptz::PtzProtocol::kMaxPresets + 1; ++n) (void)protocol.goPreset(n);
    (void)protocol.isVisca();
    (void)protocol.isLilin();
}

}  // namespace

int ptzDescription(const std::uint8_t* data, std::size_t size) {
    static const ScratchFolder folder;
    if (folder.path().empty()) return 0;
    FuzzInput input(data, size);
    const int address = input.byte();
    const int speed = input.byte() % 8;
    // The dialect files are told apart by their names.
    constexpr const char* kNames[] = {"Fuzz.ini", "Brevantis_VISCA.ini", "Lilin.ini"};
    const char* name = kNames[input.byte() % 3];
    const auto model = input.chunk();
    writeFile(folder.path() / "Info.ini", input.chunk());
    for (const char* other : kNames) {
        std::error_code error;
        if (other != name) std::filesystem::remove(folder.path() / other, error);
    }
    writeFile(folder.path() / name, input.rest());

    const ptz::PtzProtocol protocol(folder.path().string(), std::string(model.begin(), model.end()),
                                    address, speed);
    buildEverything(protocol);
    return 0;
}

}  // namespace ambro::fuzz
