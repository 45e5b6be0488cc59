#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ambro::ptz {

class IniFile;

// The pause before each command of a packet, in milliseconds.
inline constexpr int kPtzCommandInterval = 50;

// One dome command: up to 20 bytes.
struct PtzCommand {
    std::array<std::uint8_t, 20> bytes{};
    int length = 0;
};

// What an accessor hands to the sender: entries of [type][length][bytes], and
// the pause before each command in milliseconds.
struct PtzPacket {
    std::array<std::uint8_t, 256> bytes{};
    std::size_t length = 0;
    int interval = kPtzCommandInterval;
};

enum class PtzAction {
    PanLeft, PanRight, TiltUp, TiltDown, ZoomIn, ZoomOut, FocusNear, FocusFar,
    PanStop, TiltStop, ZoomStop, FocusStop, Home, AutoFocus,
};

// What a camera button asks of a dome. A click sends the start commands and,
// where the action has them, the stop commands right after.
enum class DomeAction {
    PanLeft, PanRight, TiltUp, TiltDown, ZoomOut, ZoomIn, Home, AutoMove, FocusNear, FocusFar,
    AutoFocus,
};

// The type byte each command travels with on its way to the server.
enum class PtzActionType : std::uint8_t {
    PanLeft = 1, PanRight = 2, TiltUp = 3, TiltDown = 4, ZoomOut = 5, ZoomIn = 6, Home = 7,
    Advanced = 8, FocusNear = 9, FocusFar = 10, PanTiltStop = 11, ZoomStop = 12, FocusStop = 13,
    AutoFocus = 16,
};

// Presets count their type up from a base, modulo 256 (index 0-based).
PtzActionType presetSetType(int index);
PtzActionType presetGoType(int index);

struct TypedPtzCommand {
    PtzActionType type{};
    PtzCommand command;
};

// The commands of one click, each with its type, and the pause before each.
struct DomeCommands {
    std::vector<TypedPtzCommand> start;
    std::vector<TypedPtzCommand> stop;
    int interval = kPtzCommandInterval;

    bool empty() const { return start.empty(); }
};

// The entries of a packet as typed commands; an entry cut short by the end
// of the packet is left out.
std::vector<TypedPtzCommand> commandsOfPacket(const PtzPacket& packet);

// A dome protocol loaded from its description file, with every command built
// into final bytes for one address number and speed level.
class PtzProtocol {
public:
    static constexpr int kMaxCommands = 5;
    static constexpr int kCommandRoom = 20;
    static constexpr int kMaxPresets = 256;
    static constexpr int kMaxAddresses = 255;
    static constexpr int kMaxSpeedLevels = 5;

    // Looks the dome model up in "Info.ini" of `directory` and loads its
    // description file; on any failure the object holds nothing and failed()
    // is true. `speedLevel` 0 lets each speed token choose its own level.
    PtzProtocol(const std::string& directory, const std::string& modelName, int addressNumber,
                int speedLevel);
    ~PtzProtocol();

    bool failed() const { return failed_; }
    const std::string& fileName() const { return fileName_; }

    bool hasZoom() const { return capability(kZoom); }
    bool hasFocus() const { return capability(kFocus); }
    bool hasHome() const { return capability(kHome); }
    bool hasAutoFocus() const { return capability(kAutoFocus); }
    bool hasAuto() const { return capability(kAuto); }
    bool hasTilt() const { return capability(kTilt); }
    bool hasPan() const { return capability(kPan); }
    bool hasPreset() const { return capability(kPreset); }

    // The VISCA dialect file "Brevantis_VISCA.ini", whose recall command
    // carries the preset number as two nibble bytes. The standard VISCA file
    // has another name and follows the common preset rule.
    bool isVisca() const;
    // "Lilin.ini", whose recall command keeps the preset's digits swapped.
    bool isLilin() const;

    int advancedFunctionCount() const { return static_cast<int>(advanced_.size()); }
    const std::string& advancedFunctionName(int index) const { return advanced_.at(index).name; }
    int presetCount() const { return presetCount_; }

    // The packet (empty when the action has no commands), or none when the
    // object failed, the address number is not above 0, or a command fills
    // all 20 bytes.
    [[nodiscard]] std::optional<PtzPacket> packet(PtzAction action) const;
    // As packet(); an index equal to the count gives an empty packet, one
    // above it (or below 0) fails.
    [[nodiscard]] std::optional<PtzPacket> advancedFunction(int index) const;
    // Never fails: an index outside the file's presets gives an empty packet.
    PtzPacket presetSet(int index) const;
    PtzPacket presetGo(int index) const;

    // The start and stop commands of a camera button; nullopt where the
    // accessor fails. An action without commands has empty lists. Auto move
    // is the first advanced function.
    std::optional<DomeCommands> commands(DomeAction action) const;
    // Go Preset n (1-based) by the rules of the loaded file: the dialect
    // file writes n into preset 1's recall command, "Lilin.ini" swaps two
    // bytes of preset n's, every other file sends preset n's as built.
    // Empty when the file has no such preset.
    DomeCommands goPreset(int presetNumber) const;

private:
    enum Capability {
        kZoom, kFocus, kHome, kAutoFocus, kAux, kPosition, kOsd, kPtSpeed, kAutoSpeed,
        kZoomSpeed, kPreset, kAuto, kTilt, kPan, kMoveConCmd, kCapabilityCount
    };
    struct Section {
        std::vector<PtzCommand> commands;
    };
    struct PresetSection {
        // For each command, one ready command per preset.
        std::vector<std::vector<PtzCommand>> commands;
    };
    struct AdvancedFunction {
        std::string name;
        Section section;
    };

    bool capability(Capability c) const { return capabilities_[c] == 1; }

    void load(const IniFile& file);
    void readCapabilities(const IniFile& file);
    bool readAddresses(const IniFile& file);
    bool readPanTiltSpeeds(const IniFile& file);
    bool readZoomSpeeds(const IniFile& file);
    bool readBaudRates(const IniFile& file);
    void readChecksum(const IniFile& file);
    bool readPresetCodes(const IniFile& file);
    bool readCommands(const IniFile& file, const std::string& name, bool hexadecimalCount,
                      std::vector<std::vector<std::string>>& tokens) const;
    Section readMotionSection(const IniFile& file, const std::string& name) const;
    PresetSection readPresetSection(const IniFile& file, const std::string& name) const;
    void readAdvancedFunctions(const IniFile& file);

    PtzCommand resolve(const std::vector<std::string>& tokens, std::uint32_t& presetPositions,
                       std::uint32_t& sumPositions, int presetCode) const;
    void computeSums(PtzCommand& command, std::uint32_t sumPositions) const;
    int addressCode() const;
    bool addressValid() const { return addressNumber_ > 0; }
    std::uint8_t speedCode(const std::array<std::uint8_t, 5>& codes, int digit) const;

    PtzPacket dialectPreset(int presetNumber) const;

    static std::optional<PtzPacket> sectionPacket(const Section& section, int type, bool usable);
    static PtzPacket presetPacket(const PresetSection& section, int type, int index);

    bool failed_ = true;
    std::string fileName_;
    int addressNumber_;
    int speedLevel_;
    std::array<int, kCapabilityCount> capabilities_{};
    std::vector<std::uint8_t> addressCodes_;
    std::vector<std::string> addressStrings_;
    std::array<std::uint8_t, 5> panSpeeds_{};
    std::array<std::uint8_t, 5> tiltSpeeds_{};
    std::array<std::uint8_t, 5> zoomSpeeds_{};
    std::array<int, 5> panTiltStopTimes_{};
    std::array<int, 5> zoomStopTimes_{};
    std::vector<int> baudRates_;
    int checksumKind_ = 0;
    int checksumFirst_ = 1;
    int checksumSubtract_ = 0;
    std::array<std::uint8_t, kMaxPresets> presetCodes_{};
    int presetCount_ = 0;
    std::array<Section, 14> motion_;  // by PtzAction
    PresetSection presetSet_;
    PresetSection presetGo_;
    std::vector<AdvancedFunction> advanced_;
};

}  // namespace ambro::ptz
