// The current-generation live server against the client's own connection,
// session and headless tool.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <condition_variable>

#include "live/CurrentGenerationSession.h"
#include "net/LiveConnection.h"
#include "net/ServerBlocks.h"
#include "net/StreamIo.h"
#include "platform/ByteOrder.h"
#include "ptz/PtzProtocol.h"
#include "tests/sim/SimHarness.h"
#include "tests/support/DecoderHarness.h"

namespace ambro::test {
namespace {

using namespace std::chrono_literals;
using platform::loadLe32;

constexpr std::size_t kStatusRecord = 1200;
constexpr std::size_t kVideoHead = 36;

void setReceiveTimeout(net::SocketField& socket) {
    timeval timeout{10, 0};
    ::setsockopt(socket.load(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

struct VideoFrame {
    int camera = 0;  // 1-based, from the head
    int sizeCode = 0;
    int kind = 0;
    Bytes payload;
};

// Reads the video connection of a session that has no reader threads.
class VideoReader {
public:
    explicit VideoReader(net::LiveConnection& connection) : socket_(connection.videoSocket()) {
        setReceiveTimeout(socket_);
        statusRecord_.resize(kStatusRecord);
        received_ = net::receiveExactly(socket_, statusRecord_.data(), kStatusRecord) ==
                    net::IoResult::Done;
    }
    bool statusReceived() const { return received_; }
    const Bytes& statusRecord() const { return statusRecord_; }

    std::optional<VideoFrame> next() {
        std::uint8_t head[kVideoHead];
        if (net::receiveExactly(socket_, head, kVideoHead) != net::IoResult::Done) {
            return std::nullopt;
        }
        const std::uint32_t total = loadLe32(head + 4);
        if (loadLe32(head) != loadLe32(reinterpret_cast<const std::uint8_t*>("eSoR")) ||
            total < kVideoHead || total > 716800) {
            return std::nullopt;
        }
        VideoFrame frame{head[33], head[32], head[34], Bytes(total - kVideoHead)};
        const int length = static_cast<int>(frame.payload.size());
        if (length &&
            net::receiveExactly(socket_, frame.payload.data(), length) != net::IoResult::Done) {
            return std::nullopt;
        }
        return frame;
    }
    // The first key picture of `camera` and the pictures after it.
    std::vector<VideoFrame> picturesOf(int camera, int count) {
        std::vector<VideoFrame> frames;
        for (int read = 0; read < 400 && static_cast<int>(frames.size()) < count; ++read) {
            auto frame = next();
            if (!frame) break;
            if (frame->camera != camera || (frames.empty() && frame->kind != 0)) continue;
            frames.push_back(std::move(*frame));
        }
        return frames;
    }

private:
    net::SocketField& socket_;
    Bytes statusRecord_;
    bool received_ = false;
};

class CurrentGeneration : public testing::Test {
protected:
    SimHarness sim;
    net::LiveConnection connection{{"127.0.0.1", std::to_string(sim.currentPort())}, "admin", "1234"};

    void TearDown() override {
        connection.interrupt();
        connection.closeSockets();
    }
};

TEST_F(CurrentGeneration, HandshakeGivesTheCamerasAndIoNames) {
    ASSERT_EQ(connection.connectSession(), net::ConnectOutcome::Accepted);
    const auto& cameras = connection.cameraList().cameras;
    const auto& catalogue = sim.installation().cameras();
    ASSERT_EQ(static_cast<int>(cameras.size()), catalogue.count());
    for (int i = 0; i < catalogue.count(); ++i) {
        EXPECT_EQ(cameras[static_cast<std::size_t>(i)].number, i + 1);
        EXPECT_EQ(cameras[static_cast<std::size_t>(i)].name, catalogue.camera(i).name);
    }
    EXPECT_EQ(connection.ioNames().inputNames, sim.installation().io().flatInputNames());
    EXPECT_EQ(connection.ioNames().outputNames, sim.installation().io().flatOutputNames());
}

TEST_F(CurrentGeneration, StatusRecordCarriesEveryCameraStatus) {
    ASSERT_EQ(connection.connectSession(), net::ConnectOutcome::Accepted);
    VideoReader video(connection);
    ASSERT_TRUE(video.statusReceived());
    EXPECT_EQ(platform::loadLe16(video.statusRecord().data() + 12), 0);
    const auto& catalogue = sim.installation().cameras();
    for (int i = 0; i < catalogue.count(); ++i) {
        EXPECT_EQ(video.statusRecord()[18 + static_cast<std::size_t>(i)],
                  static_cast<std::uint8_t>(catalogue.camera(i).status));
    }
}

struct CameraCase {
    int camera;  // 1-based
    int sizeCode;
    int width;
    int height;
    bool flip;
    bool extended;
    bool masks;
};

// Test names in ctest show the printed parameter.
void PrintTo(const CameraCase& c, std::ostream* out) {
    *out << "camera " << c.camera;
}

class CameraPictures : public CurrentGeneration, public testing::WithParamInterface<CameraCase> {};

TEST_P(CameraPictures, DecodeUprightWithTheirContainerFeatures) {
    const CameraCase& c = GetParam();
    ASSERT_EQ(connection.connectSession(), net::ConnectOutcome::Accepted);
    VideoReader video(connection);
    ASSERT_TRUE(connection.requestVideoChannels(1u << (c.camera - 1)));
    const auto frames = video.picturesOf(c.camera, 6);
    ASSERT_EQ(frames.size(), 6u);
    DecoderHarness decoder(c.width, c.height);
    bool produced = false;
    for (const auto& frame : frames) {
        EXPECT_EQ(frame.sizeCode, c.sizeCode);
        ASSERT_EQ(decoder.decode(frame.payload), 0);
        produced = produced || decoder.decoder().pictureProduced();
    }
    ASSERT_TRUE(produced);
    EXPECT_TRUE(decoder.guardIntact());
    EXPECT_EQ(decoder.decoder().verticalFlip(), c.flip);
    EXPECT_EQ(decoder.decoder().extendedHeaderMode(), c.extended);
    const DecodedPicture picture{c.width, c.height, decoder.picture()};
    EXPECT_TRUE(upright(picture)) << picture.blueness(c.height / 8, c.height / 8) << " "
                                  << picture.blueness(c.height - c.height / 4, c.height / 8);
    const auto masks = sim.installation().synthesiser().masksIn(c.camera - 1, {0, 0, c.width, c.height});
    EXPECT_EQ(masks.empty(), !c.masks);
    for (const auto& mask : masks) {
        EXPECT_TRUE(picture.blackInside(mask)) << mask.x << "," << mask.y;
        const sim::PixelRect beside{mask.x - 6, mask.y, 4, mask.height};
        EXPECT_EQ(picture.blackPixels(beside), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, CameraPictures,
                         testing::Values(CameraCase{1, 24, 352, 288, false, false, false},
                                         CameraCase{2, 24, 352, 288, false, false, false},
                                         CameraCase{3, 24, 352, 288, false, false, false},
                                         CameraCase{4, 4, 320, 240, false, true, true},
                                         CameraCase{5, 24, 352, 288, false, false, false},
                                         CameraCase{6, 24, 352, 288, false, false, false},
                                         CameraCase{7, 23, 352, 240, true, false, false}),
                         [](const testing::TestParamInfo<CameraCase>& info) {
                             return "Camera" + std::to_string(info.param.camera);
                         });

TEST(CurrentGenerationSize, ChosenSizeCodeForThePlainCameras) {
    SimHarness sim([](sim::SimOptions& options) { options.liveSizeCode = 21; });
    net::LiveConnection connection({"127.0.0.1", std::to_string(sim.currentPort())}, "admin", "1234");
    ASSERT_EQ(connection.connectSession(), net::ConnectOutcome::Accepted);
    VideoReader video(connection);
    ASSERT_TRUE(connection.requestVideoChannels(1u << 2));
    const auto frames = video.picturesOf(3, 3);
    ASSERT_EQ(frames.size(), 3u);
    DecoderHarness decoder(176, 144);
    for (const auto& frame : frames) {
        EXPECT_EQ(frame.sizeCode, 21);
        EXPECT_EQ(decoder.decode(frame.payload), 0);
    }
    EXPECT_TRUE(upright({176, 144, decoder.picture()}));
    connection.interrupt();
    connection.closeSockets();
}

TEST_F(CurrentGeneration, TwoClientsWatchTwoCamerasAtOnce) {
    ASSERT_EQ(connection.connectSession(), net::ConnectOutcome::Accepted);
    net::LiveConnection second({"127.0.0.1", std::to_string(sim.currentPort())}, "admin", "1234");
    ASSERT_EQ(second.connectSession(), net::ConnectOutcome::Accepted);
    VideoReader firstVideo(connection);
    VideoReader secondVideo(second);
    ASSERT_TRUE(connection.requestVideoChannels(1u << 2));
    ASSERT_TRUE(second.requestVideoChannels(1u << 4));
    EXPECT_EQ(firstVideo.picturesOf(3, 3).size(), 3u);
    EXPECT_EQ(secondVideo.picturesOf(5, 3).size(), 3u);
    second.interrupt();
    second.closeSockets();
}

TEST_F(CurrentGeneration, LostCameraSendsEmptyPictures) {
    ASSERT_EQ(connection.connectSession(), net::ConnectOutcome::Accepted);
    VideoReader video(connection);
    ASSERT_TRUE(connection.requestVideoChannels(1u << 7));
    const auto frames = video.picturesOf(8, 2);
    ASSERT_EQ(frames.size(), 2u);
    for (const auto& frame : frames) EXPECT_TRUE(frame.payload.empty());
}

TEST_F(CurrentGeneration, DomeDescriptionsNameShippedDescriptionFiles) {
    ASSERT_EQ(connection.connectSession(), net::ConnectOutcome::Accepted);
    const auto& catalogue = sim.installation().cameras();
    for (int i = 0; i < catalogue.count(); ++i) {
        const auto reply = connection.requestPtzDescription(static_cast<std::uint32_t>(i));
        ASSERT_TRUE(reply);
        const net::PtzDescription& description = *reply;
        EXPECT_EQ(description.present, catalogue.camera(i).hasDome()) << i;
        if (!description.present) continue;
        const ptz::PtzProtocol protocol(AMBRO_PTZ_SETUP_DIR, description.protocolName,
                                        static_cast<int>(description.address) + 1,
                                        static_cast<int>(description.speedLevel));
        EXPECT_FALSE(protocol.failed()) << description.protocolName;
        EXPECT_TRUE(protocol.hasPreset() && protocol.hasPan() && protocol.hasZoom());
    }
}

// The client's current-generation session: pictures through its own video
// reader and decoder.
class PictureWaiter : public live::CurrentGenerationSession::Listener {
public:
    void pictureDecoded(const live::PictureView& picture) override {
        std::lock_guard lock(mutex_);
        latest_ = {picture.width, picture.height, {}};
        const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
        for (int y = 0; y < picture.height; ++y) {
            const std::uint8_t* start = picture.pixels + y * picture.stride;
            latest_.bgr.insert(latest_.bgr.end(), start, start + row);
        }
        ++count_;
        arrived_.notify_all();
    }
    // A picture that arrived at least `settle` after the call.
    std::optional<DecodedPicture> pictureAfter(std::chrono::milliseconds settle) {
        std::this_thread::sleep_for(settle);
        std::unique_lock lock(mutex_);
        const int seen = count_;
        if (!arrived_.wait_for(lock, 10s, [&] { return count_ > seen; })) return std::nullopt;
        return latest_;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    DecodedPicture latest_;
    int count_ = 0;
};

class ClientSession : public testing::Test {
protected:
    void TearDown() override {
        session.close();
        connection.interrupt();
        connection.closeSockets();
    }
    SimHarness sim;
    PictureWaiter pictures;
    net::LiveConnection connection{{"127.0.0.1", std::to_string(sim.currentPort())}, "admin", "1234"};
    live::CurrentGenerationSession session{connection, pictures, AMBRO_PTZ_SETUP_DIR};
};

class DomePresets : public ClientSession, public testing::WithParamInterface<int> {};

TEST_P(DomePresets, MoveTheCameraPicture) {
    ASSERT_EQ(session.connect(), net::ConnectOutcome::Accepted);
    const int camera = GetParam();
    ASSERT_EQ(session.selectCamera(camera - 1), live::SelectResult::Selected);
    const auto before = pictures.pictureAfter(500ms);
    ASSERT_TRUE(before);
    ASSERT_EQ(session.goPreset(3), live::PtzResult::Sent);
    const auto after = pictures.pictureAfter(300ms);
    ASSERT_TRUE(after);
    EXPECT_GT(meanDifference(*before, *after), 20.0);
    const auto at = sim.installation().dome(camera - 1)->positionAt(std::chrono::steady_clock::now());
    const auto preset = sim::DomeModel::presetPosition(3);
    EXPECT_DOUBLE_EQ(at.x, preset.x);
    EXPECT_DOUBLE_EQ(at.zoom, preset.zoom);
}

INSTANTIATE_TEST_SUITE_P(PelcoDPelcoPVisca, DomePresets, testing::Values(1, 2, 3),
                         [](const testing::TestParamInfo<int>& info) {
                             return "Camera" + std::to_string(info.param);
                         });

TEST_F(ClientSession, PanningMovesTheDomeAndTheOutputPulseIsLogged) {
    ASSERT_EQ(session.connect(), net::ConnectOutcome::Accepted);
    const double start = sim.installation().dome(0)->positionAt(std::chrono::steady_clock::now()).x;
    ASSERT_EQ(session.cameraAction(ptz::DomeAction::PanRight), live::PtzResult::Sent);
    EXPECT_GT(sim.installation().dome(0)->positionAt(std::chrono::steady_clock::now()).x, start);

    ASSERT_TRUE(session.pulseOutput(2));
    EXPECT_TRUE(sim.waitForLog("output 2 (Floodlight) of module 1 forced on", 5s));
    EXPECT_TRUE(sim.waitForLog("output 2 (Floodlight) of module 1 forced off", 5s));
}

}  // namespace
}  // namespace ambro::test
