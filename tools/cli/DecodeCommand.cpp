#include "tools/cli/DecodeCommand.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>

#include "media/FrameDecoder.h"
#include "media/PictureDecoder.h"
#include "media/SnapshotEncoder.h"
#include "platform/ByteOrder.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/ExitStatus.h"

namespace ambro::cli {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMaxPayload = media::FrameDecoder::kMaxPayload;
constexpr const char* kUsage =
    "usage: ambro-cli decode --width W --height H --out DIR [--stream] [--jpeg] INPUT...\n"
    "  Each INPUT is one frame payload; with --stream, each holds payloads\n"
    "  each preceded by its length (u32, little-endian). For every payload a\n"
    "  line 'NNNNNN RESULT picture|none' is printed, and DIR/NNNNNN.bgr gets\n"
    "  the picture as the decoder leaves it (bottom-up BGR; 640x240 pictures\n"
    "  are doubled to 480 lines). With --jpeg, DIR/NNNNNN.jpg gets the same\n"
    "  picture as a quality-100 snapshot.\n";

// The whole of a regular file; none for anything else (a folder, a missing
// file, a device) or when reading fails. Files larger than any stream of
// payloads could be are not read at all.
std::optional<Bytes> readWhole(const std::string& path) {
    constexpr std::uintmax_t kLargestInput = std::uintmax_t{1} << 31;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kLargestInput) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    Bytes bytes(static_cast<std::size_t>(size));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    if (file.gcount() != static_cast<std::streamsize>(size)) return std::nullopt;
    return bytes;
}

// Splits a stream file into its length-prefixed payloads; none when a length
// runs past the file or beyond the largest payload a server sends.
std::optional<std::vector<Bytes>> splitStream(const Bytes& file) {
    std::vector<Bytes> payloads;
    std::size_t position = 0;
    while (position < file.size()) {
        if (file.size() - position < 4) return std::nullopt;
        const std::uint32_t length = platform::loadLe32(file.data() + position);
        position += 4;
        if (length > kMaxPayload || length > file.size() - position) return std::nullopt;
        payloads.emplace_back(file.begin() + position, file.begin() + position + length);
        position += length;
    }
    return payloads;
}

class PictureWriter {
public:
    PictureWriter(int width, int height)
        : decoder_(width, height),
          payload_(kMaxPayload + media::FrameDecoder::kInputPadding),
          picture_(decoder_.pictureBytes(), 0) {}

    // Decodes one payload; the result of decompress and whether a picture came.
    std::pair<int, bool> decode(const Bytes& payload) {
        std::copy(payload.begin(), payload.end(), payload_.begin());
        const int result = decoder_.decode(payload_.data(), payload.size(), picture_.data());
        return {result, result == media::kDecoderDone && decoder_.pictureProduced()};
    }

    bool writePicture(const std::filesystem::path& path) const { return write(path, picture_); }

    // The picture as the sessions save a snapshot, encoded at quality 100
    // straight from the decoder's rows.
    bool writeSnapshot(const std::filesystem::path& path) {
        const int width = decoder_.width();
        const int height = decoder_.height();
        jpeg_.resize(media::SnapshotEncoder::worstCaseSize(width, height));
        std::size_t size = 0;
        if (!encoder_.encodePicture(picture_.data(), decoder_.stride(), jpeg_.data(), jpeg_.size(),
                                    width, height, size)) {
            return false;
        }
        jpeg_.resize(size);
        return write(path, jpeg_);
    }

private:
    static bool write(const std::filesystem::path& path, const Bytes& bytes) {
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return static_cast<bool>(file);
    }

    media::PictureDecoder decoder_;
    Bytes payload_;
    Bytes picture_;
    Bytes jpeg_;
    media::SnapshotEncoder encoder_{100};
};

std::string numbered(std::size_t index) {
    char name[24];
    std::snprintf(name, sizeof name, "%06zu", index);
    return name;
}

}  // namespace

const char* decodeUsage() { return kUsage; }

int runDecode(const std::vector<std::string>& words, std::ostream& out, std::ostream& err) {
    const CommandLine line(words, {"stream", "jpeg"});
    const auto width = line.number("width", 1, 8191);
    const auto height = line.number("height", 1, 8191);
    const auto folder = line.option("out");
    if (!line.valid() || !width || !height || !folder || line.arguments().empty()) {
        err << (line.valid() ? "" : line.error() + "\n") << kUsage;
        return kUsageError;
    }

    std::vector<Bytes> payloads;
    for (const std::string& input : line.arguments()) {
        auto bytes = readWhole(input);
        if (!bytes) {
            err << "cannot read " << input << "\n";
            return kInputOrConnectionFailure;
        }
        if (!line.hasSwitch("stream")) {
            payloads.push_back(std::move(*bytes));
            continue;
        }
        auto parts = splitStream(*bytes);
        if (!parts) {
            err << "malformed payload stream " << input << "\n";
            return kInputOrConnectionFailure;
        }
        for (auto& part : *parts) payloads.push_back(std::move(part));
    }
    for (const Bytes& payload : payloads) {
        if (payload.size() > kMaxPayload) {
            err << "a payload is larger than " << kMaxPayload << " bytes\n";
            return kInputOrConnectionFailure;
        }
    }

    std::error_code error;
    std::filesystem::create_directories(*folder, error);
    PictureWriter writer(static_cast<int>(*width), static_cast<int>(*height));
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        const auto [result, produced] = writer.decode(payloads[i]);
        out << numbered(i) << " " << result << " " << (produced ? "picture" : "none") << "\n";
        if (!produced) continue;
        const std::filesystem::path base = std::filesystem::path(*folder) / numbered(i);
        const bool written =
            writer.writePicture(base.string() + ".bgr") &&
            (!line.hasSwitch("jpeg") || writer.writeSnapshot(base.string() + ".jpg"));
        if (!written) {
            err << "cannot write into " << *folder << "\n";
            return kCannotWriteFile;
        }
    }
    return kSuccess;
}

}  // namespace ambro::cli
