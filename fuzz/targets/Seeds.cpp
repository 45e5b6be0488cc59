#include <cstdio>
#include <cstdlib>
#include <functional>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/targets/FuzzTargets.h"
#include "fuzz/targets/LiveHarness.h"
#include "platform/ByteOrder.h"
#include "tests/support/FakeLiveServer.h"
#include "tests/support/FakeOlderServer.h"
#include "tests/support/FakePlaybackServer.h"
#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/PayloadBuilder.h"

namespace ambro::fuzz {

namespace {

using test::PayloadBuilder;
using test::PayloadMarker;

// The fixtures' first pictures, kept small so that the fuzzers run fast.
constexpr std::size_t kPicturesPerStream = 3;

std::vector<Bytes> firstPictures(const std::string& fixture) {
    std::vector<Bytes> pictures;
    for (const auto& picture : test::splitIntoPictures(test::readFile(test::fixturePath(fixture)))) {
        if (pictures.size() == kPicturesPerStream) break;
        pictures.push_back(picture.bytes);
    }
    return pictures;
}

Bytes le32(std::uint32_t value) {
    Bytes bytes(4);
    platform::storeLe32(bytes.data(), value);
    return bytes;
}

// Every kind of wrapping the container knows, around one picture.
std::vector<Bytes> wrappings(const Bytes& stream) {
    const Bytes list = PayloadBuilder::rectangleList({{10, 20, 100, 120}, {200, 0, 360, 40}});
    std::vector<Bytes> payloads;
    payloads.push_back(PayloadBuilder(PayloadMarker::ChecksumF, stream).build());
    payloads.push_back(PayloadBuilder(PayloadMarker::ChecksumA, stream).padding().build());
    payloads.push_back(PayloadBuilder(PayloadMarker::ExtendedHeader, stream).build());
    payloads.push_back(
        PayloadBuilder(PayloadMarker::NoChecksum, stream).scrambledMaskBlock(list).build());
    payloads.push_back(PayloadBuilder(PayloadMarker::ChecksumF, stream)
                           .authentication()
                           .scrambledMaskBlock(list)
                           .padding()
                           .build());
    payloads.push_back(PayloadBuilder(PayloadMarker::None, stream).closingWord(true).build());
    payloads.push_back(PayloadBuilder(PayloadMarker::None, stream)
                           .plainMaskBlock(list)
                           .flipTail()
                           .build());
    payloads.push_back(PayloadBuilder(PayloadMarker::None, stream)
                           .closingWord(false)
                           .chainBlock({123, 456, 789, 100}, 8, 20)
                           .chainBlock({111, 222, 333, 444}, 4, 90)
                           .chainHead()
                           .build());
    payloads.push_back(PayloadBuilder(PayloadMarker::None, stream)
                           .closingWord(false)
                           .plainMaskBlock(list)
                           .chainHead()
                           .build());
    return payloads;
}

struct SizedFixture {
    std::uint8_t sizeIndex;  // into the frame container target's sizes
    const char* fixture;
    std::uint8_t liveCode;   // the video head's image-size code
};

constexpr SizedFixture kFixtures[] = {
    {0, "mpeg4/libxvid_160x120_bf0.m4v", 2},   {1, "mpeg4/mpeg4_176x112_bf2.m4v", 22},
    {2, "mpeg4/libxvid_176x144_bf0.m4v", 21},  {3, "mpeg4/mpeg4_320x240_bf0.m4v", 4},
    {4, "mpeg4/libxvid_352x240_bf2.m4v", 23},  {5, "mpeg4/mpeg4_352x288_bf0.m4v", 24},
    {6, "mpeg4/mpeg4_640x240_bf0.m4v", 0},     {2, "mpeg4/mpeg4_176x144_interlaced.m4v", 21},
};

std::vector<Bytes> frameContainerSeeds() {
    std::vector<Bytes> seeds;
    for (const auto& sized : kFixtures) {
        const auto pictures = firstPictures(sized.fixture);
        if (pictures.empty()) continue;
        for (std::uint8_t flags = 0; flags < 4; ++flags) {
            Bytes input = {sized.sizeIndex, flags};
            for (const auto& picture : pictures) {
                appendChunk(input, PayloadBuilder(PayloadMarker::ChecksumF, picture).build());
            }
            seeds.push_back(input);
        }
        for (const auto& payload : wrappings(pictures.front())) {
            Bytes input = {sized.sizeIndex, 2};
            appendChunk(input, payload);
            seeds.push_back(input);
        }
    }
    return seeds;
}

std::string readText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::vector<Bytes> ptzDescriptionSeeds() {
    struct Dome {
        const char* model;
        const char* file;
    };
    constexpr Dome kDomes[] = {
        {"Pelco-D", "Dome_PelcoD"}, {"Pelco-P", "Dome_PelcoP"}, {"Sony VISCA", "Sony_VISCA"}};
    const std::string folder = AMBRO_PTZ_SETUP_DIR;
    const std::string info = readText(folder + "/Info.ini");
    // The harness writes the description as Fuzz.ini, Brevantis_VISCA.ini or
    // Lilin.ini by byte 2; the folder's Info.ini is pointed at it.
    constexpr const char* kNames[] = {"Fuzz", "Brevantis_VISCA", "Lilin"};
    std::vector<Bytes> seeds;
    for (std::uint8_t choice = 0; choice < 3; ++choice) {
        for (const Dome& dome : kDomes) {
            std::string pointed = info;
            replaceAll(pointed, std::string("=") + dome.file, std::string("=") + kNames[choice]);
            const std::string description = readText(folder + "/" + dome.file + ".ini");
            for (std::uint8_t address : {1, 0, 255}) {
                Bytes input = {address, static_cast<std::uint8_t>(choice + address % 3), choice};
                appendChunk(input, std::span(reinterpret_cast<const std::uint8_t*>(dome.model),
                                             std::strlen(dome.model)));
                appendChunk(input, std::span(reinterpret_cast<const std::uint8_t*>(pointed.data()),
                                             pointed.size()));
                input.insert(input.end(), description.begin(), description.end());
                seeds.push_back(input);
            }
        }
    }
    return seeds;
}

Bytes videoStream(const SizedFixture& sized, PayloadMarker marker) {
    Bytes stream = cameraStatusRecord(0);
    std::uint32_t sequence = 1;
    for (const auto& picture : firstPictures(sized.fixture)) {
        const Bytes frame = videoFrame(sequence, sized.liveCode, sequence == 1 ? 0 : 1,
                                       PayloadBuilder(marker, picture).build());
        stream.insert(stream.end(), frame.begin(), frame.end());
        ++sequence;
    }
    return stream;
}

std::vector<Bytes> liveVideoSeeds() {
    std::vector<Bytes> seeds;
    for (const auto& sized : kFixtures) {
        if (sized.liveCode == 0) continue;
        seeds.push_back(videoStream(sized, PayloadMarker::ChecksumF));
    }
    // An empty frame, a size the client cannot show, a frame kind it skips,
    // a lost frame and a status record it does not keep.
    Bytes odd = cameraStatusRecord(40);
    for (const Bytes& frame : {videoFrame(1, 21, 0, {}), videoFrame(2, 3, 0, Bytes(40, 1)),
                               videoFrame(3, 21, 2, Bytes(40, 2)), videoFrame(5, 21, 1, Bytes(40, 3))}) {
        odd.insert(odd.end(), frame.begin(), frame.end());
    }
    seeds.push_back(odd);
    return seeds;
}

std::vector<Bytes> liveHandshakeSeeds() {
    Bytes command = acceptingCommandStream();
    // The replies to a camera choice, an output pulse and video off.
    for (const std::uint32_t code : {32u, 56u, 68u, 68u, 32u}) {
        const Bytes reply = test::serverReply(code, 0, code == 56 ? 84 : 20);
        command.insert(command.end(), reply.begin(), reply.end());
    }
    Bytes auxiliary = acceptingStreamHead();
    const Bytes message = test::serverReply(90, 0, 40);
    auxiliary.insert(auxiliary.end(), message.begin(), message.end());
    Bytes video = acceptingStreamHead();
    const Bytes frames = videoStream(kFixtures[2], PayloadMarker::ChecksumF);
    video.insert(video.end(), frames.begin(), frames.end());

    std::vector<Bytes> seeds;
    const auto seed = [&](const Bytes& commandStream) {
        Bytes input;
        appendChunk(input, commandStream);
        appendChunk(input, auxiliary);
        input.insert(input.end(), video.begin(), video.end());
        seeds.push_back(input);
    };
    seed(command);
    Bytes older = command;
    platform::storeLe32(older.data(), net::kOlderGenerationGreeting);
    seed(older);
    Bytes refused = command;
    platform::storeLe32(refused.data() + 16 + 36 + 16, 0xF0000002);
    seed(refused);
    seed(Bytes(command.begin(), command.begin() + 700));
    return seeds;
}

// One older-generation message: status, payload length, payload.
Bytes olderMessage(std::int32_t status, const Bytes& payload) {
    Bytes message = le32(static_cast<std::uint32_t>(status));
    const Bytes length = le32(static_cast<std::uint32_t>(payload.size()));
    message.insert(message.end(), length.begin(), length.end());
    message.insert(message.end(), payload.begin(), payload.end());
    return message;
}

Bytes words(std::initializer_list<std::int32_t> values) {
    Bytes bytes;
    for (const std::int32_t value : values) {
        const Bytes word = le32(static_cast<std::uint32_t>(value));
        bytes.insert(bytes.end(), word.begin(), word.end());
    }
    return bytes;
}

Bytes olderLogin(std::int32_t version, int modules) {
    Bytes stream;
    const auto add = [&](const Bytes& message) { stream.insert(stream.end(), message.begin(), message.end()); };
    add(olderMessage(version, words({0b1111})));
    add(olderMessage(255, words({3233, 17})));
    add(olderMessage(255, {}));
    Bytes count(2);
    platform::storeLe16(count.data(), static_cast<std::uint16_t>(modules));
    add(olderMessage(255, count));
    for (int module = 0; module < modules; ++module) {
        add(olderMessage(255, words({4})));
        add(olderMessage(255, words({2})));
        Bytes names(272, 0);
        std::memcpy(names.data(), "Door", 4);
        add(olderMessage(255, names));
        add(olderMessage(255, names));
    }
    add(olderMessage(255, {}));
    return stream;
}

// A video header and its data packets, then an audio block.
Bytes olderStream(const Bytes& frame) {
    Bytes stream;
    const auto add = [&](const Bytes& message) { stream.insert(stream.end(), message.begin(), message.end()); };
    Bytes header = words({static_cast<std::int32_t>(frame.size())});
    Bytes time(16);
    test::fakeFrameTime(40).toBytes(time.data());
    header.insert(header.end(), time.begin(), time.end());
    add(olderMessage(41, header));
    const std::size_t half = frame.size() / 2;
    add(olderMessage(41, Bytes(frame.begin(), frame.begin() + static_cast<long>(half))));
    add(olderMessage(41, Bytes(frame.begin() + static_cast<long>(half), frame.end())));
    add(olderMessage(40, words({6})));
    add(olderMessage(40, Bytes(6, 0x80)));
    add(olderMessage(7, {}));
    return stream;
}

std::vector<Bytes> olderSessionSeeds() {
    test::FakeOlderServerScript script;
    const Bytes table = test::FakeOlderServer::cameraTable(script);
    const auto pictures = firstPictures(kFixtures[2].fixture);
    Bytes frames;
    for (const auto& picture : pictures) {
        const Bytes packets = olderStream(PayloadBuilder(PayloadMarker::ChecksumF, picture).build());
        frames.insert(frames.end(), packets.begin(), packets.end());
    }
    std::vector<Bytes> seeds;
    const auto seed = [&](std::uint8_t choice, std::uint8_t word, std::uint8_t flags,
                          const Bytes& stream) {
        Bytes input = {choice, word, flags};
        input.insert(input.end(), stream.begin(), stream.end());
        seeds.push_back(input);
    };
    for (const std::int32_t version : {8300, 8199}) {
        Bytes selected = olderLogin(version, 1);
        const Bytes reply = olderMessage(255, words({0, 1, -1, -1, 0, 0xFFF, 9}));
        selected.insert(selected.end(), reply.begin(), reply.end());
        selected.insert(selected.end(), frames.begin(), frames.end());
        seed(2, 0, 0, selected);

        Bytes listed = olderLogin(version, 0);
        const Bytes before = olderStream(Bytes(40, 7));
        listed.insert(listed.end(), before.begin(), before.end());
        const Bytes listReply = olderMessage(255, table);
        listed.insert(listed.end(), listReply.begin(), listReply.end());
        seed(1, 0, 0, listed);
    }
    for (std::uint8_t choice = 3; choice < 8; ++choice) {
        Bytes stream = olderLogin(8300, 0);
        const Bytes reply = olderMessage(255, Bytes(64, 1));
        stream.insert(stream.end(), reply.begin(), reply.end());
        seed(choice, choice == 3 ? 1 : 0, choice % 2, stream);
    }
    return seeds;
}

Bytes playbackMessageWith(std::uint8_t group, std::uint8_t command, std::size_t size,
                          const std::function<void(Bytes&)>& fill) {
    Bytes message = test::playbackMessage(group, command, size);
    fill(message);
    return message;
}

std::vector<Bytes> playbackMessages() {
    std::vector<Bytes> messages;
    messages.push_back(playbackMessageWith(4, 0, 68, [](Bytes& m) { m[0] = 5; }));
    messages.push_back(playbackMessageWith(4, 4, 104, [](Bytes& m) { m[64] = 1; }));
    messages.push_back(playbackMessageWith(5, 17, 128 + 3 + 12, [](Bytes& m) {
        m[64] = 3;
        platform::storeLe16(m.data() + 66, 3);
        std::memcpy(m.data() + 72, "Gate", 4);
        platform::storeLe32(m.data() + 108, 0xC0FFEE);
        platform::storeLe32(m.data() + 131, 20240101);
        platform::storeLe32(m.data() + 139, 20240105);
    }));
    messages.push_back(playbackMessageWith(5, 2, 68 + 8, [](Bytes& m) {
        platform::storeLe16(m.data() + 66, 2);
        platform::storeLe32(m.data() + 68, 105083000);
        platform::storeLe32(m.data() + 72, 205123456);
    }));
    messages.push_back(playbackMessageWith(5, 8, 68 + 12, [](Bytes& m) {
        platform::storeLe16(m.data() + 66, 12);
        std::memcpy(m.data() + 68, "D:\\Rec\\a.rec", 12);
    }));
    messages.push_back(playbackMessageWith(0, 0, 72 + 76 + 4, [](Bytes& m) {
        platform::storeLe16(m.data() + 64, 2);
        platform::storeLe32(m.data() + 68, 0x51);
        platform::storeLe32(m.data() + 72 + 4, 176);
        platform::storeLe32(m.data() + 72 + 8, 144);
        platform::storeLe32(m.data() + 72 + 72, 25);
        platform::storeLe16(m.data() + 150, 12);
    }));
    messages.push_back(playbackMessageWith(0, 5, 84, [](Bytes& m) { platform::storeLe32(m.data() + 64, 12); }));
    messages.push_back(playbackMessageWith(0, 7, 64, [](Bytes&) {}));
    for (const auto& picture : firstPictures(kFixtures[2].fixture)) {
        messages.push_back(test::frameMessage(PayloadBuilder(PayloadMarker::ChecksumF, picture).build()));
    }
    return messages;
}

std::vector<Bytes> playbackRepliesSeeds() {
    std::vector<Bytes> seeds;
    Bytes all;
    for (const auto& message : playbackMessages()) {
        Bytes one;
        appendChunk(one, message);
        seeds.push_back(one);
        appendChunk(all, message);
    }
    seeds.push_back(all);
    return seeds;
}

std::vector<Bytes> playbackReceiverSeeds() {
    Bytes stream;
    for (const auto& message : playbackMessages()) {
        const Bytes framed = test::framed(message);
        stream.insert(stream.end(), framed.begin(), framed.end());
    }
    return {stream};
}

std::vector<Bytes> snapshotEncoderSeeds() {
    std::vector<Bytes> seeds;
    const auto seed = [&](std::uint8_t kind, std::uint16_t a, std::uint16_t b, std::uint8_t pad,
                          std::uint8_t quality, std::uint16_t shortfall, const Bytes& pattern) {
        Bytes input = {kind, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(a >> 8),
                       static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(b >> 8), pad, quality,
                       static_cast<std::uint8_t>(shortfall), static_cast<std::uint8_t>(shortfall >> 8)};
        input.insert(input.end(), pattern.begin(), pattern.end());
        seeds.push_back(input);
    };
    seed(0, 15, 15, 0, 100, 0, {0, 255, 0, 255, 255, 0});
    seed(0, 0, 0, 1, 100, 1, {0xFF});
    seed(0, 16, 8, 3, 50, 200, {1, 2, 3, 250, 128, 7, 90});
    seed(230, 351, 287, 0, 100, 4000, {0x10, 0xF0, 0x80});
    seed(241, 4095, 3, 5, 1, 2, {0xFF, 0x00});
    seed(242, 0, 4095, 2, 0, 10, {0x00, 0xFF, 0x7F});
    // Any size: 601 x 701 behind the marker byte.
    seeds.push_back({255, 0x58, 0x02, 0xBC, 0x02, 0xA5, 3, 100, 0, 0, 0x30, 0xC0, 0x55});
    return seeds;
}

}  // namespace

const std::vector<Target>& targets() {
    static const std::vector<Target> all = {
        {"frame_container", frameContainer, frameContainerSeeds},
        {"ptz_description", ptzDescription, ptzDescriptionSeeds},
        {"live_handshake", liveHandshake, liveHandshakeSeeds},
        {"live_video", liveVideo, liveVideoSeeds},
        {"older_session", olderSession, olderSessionSeeds},
        {"playback_replies", playbackReplies, playbackRepliesSeeds},
        {"playback_receiver", playbackReceiver, playbackReceiverSeeds},
        {"snapshot_encoder", snapshotEncoder, snapshotEncoderSeeds},
    };
    return all;
}

const Target* findTarget(std::string_view name) {
    for (const Target& target : targets()) {
        if (name == target.name) return &target;
    }
    return nullptr;
}

void broken(const char* what) {
    std::fprintf(stderr, "ambro fuzz: %s\n", what);
    std::abort();
}

}  // namespace ambro::fuzz
