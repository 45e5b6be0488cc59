#include "tests/sim/SimHarness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "platform/ByteOrder.h"

namespace ambro::test {

namespace {

sim::SimOptions harnessOptions(const std::vector<sim::FaultKind>& faults) {
    sim::SimOptions options;
    options.liveCurrentPort = 0;
    options.liveOlderPort = 0;
    options.playbackPort = 0;
    for (sim::FaultKind kind : faults) options.faults.add(kind);
    return options;
}

}  // namespace

SimHarness::SimHarness(std::vector<sim::FaultKind> faults)
    : log_([this](const std::string& line) {
          std::lock_guard lock(mutex_);
          lines_.push_back(line);
      }) {
    start(harnessOptions(faults));
}

SimHarness::SimHarness(const std::function<void(sim::SimOptions&)>& adjust)
    : log_([this](const std::string& line) {
          std::lock_guard lock(mutex_);
          lines_.push_back(line);
      }) {
    sim::SimOptions options = harnessOptions({});
    adjust(options);
    start(options);
}

void SimHarness::start(const sim::SimOptions& options) {
    simulator_ = std::make_unique<sim::Simulator>(options, log_);
    std::string error;
    if (!simulator_->start(error)) throw std::runtime_error("simulator: " + error);
}

SimHarness::~SimHarness() {
    simulator_->stop();
}

std::vector<std::string> SimHarness::log() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool SimHarness::waitForLog(const std::string& fragment, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        for (const auto& line : log()) {
            if (line.find(fragment) != std::string::npos) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

TestSocket::TestSocket(std::uint16_t port) {
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (socket_ < 0 || ::connect(socket_, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
        if (socket_ >= 0) ::close(socket_);
        socket_ = -1;
        return;
    }
    timeval timeout{};
    timeout.tv_sec = kTimeout.count();
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

TestSocket::~TestSocket() {
    if (socket_ >= 0) ::close(socket_);
}

bool TestSocket::send(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = ::send(socket_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

std::optional<Bytes> TestSocket::receive(std::size_t count) {
    Bytes bytes(count);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t received = ::recv(socket_, bytes.data() + done, count - done, 0);
        if (received < 0 && errno == EINTR) continue;
        if (received <= 0) return std::nullopt;
        done += static_cast<std::size_t>(received);
    }
    return bytes;
}

std::optional<std::uint32_t> TestSocket::receiveLe32() {
    const auto bytes = receive(4);
    if (!bytes) return std::nullopt;
    return platform::loadLe32(bytes->data());
}

Bytes TestSocket::receiveAvailable(std::chrono::milliseconds wait) {
    Bytes bytes;
    pollfd waiting{socket_, POLLIN, 0};
    while (::poll(&waiting, 1, static_cast<int>(wait.count())) > 0) {
        std::uint8_t buffer[4096];
        const ssize_t received = ::recv(socket_, buffer, sizeof buffer, 0);
        if (received <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + received);
    }
    return bytes;
}

bool TestSocket::closedWithin(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd waiting{socket_, POLLIN, 0};
        if (::poll(&waiting, 1, 50) <= 0) continue;
        std::uint8_t buffer[4096];
        const ssize_t received = ::recv(socket_, buffer, sizeof buffer, 0);
        if (received == 0 || (received < 0 && errno != EINTR && errno != EAGAIN)) return true;
    }
    return false;
}

void TestSocket::resetOnClose() {
    const linger reset{1, 0};
    ::setsockopt(socket_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

const std::uint8_t* DecodedPicture::pixel(int x, int yFromTop) const {
    const int row = height - 1 - yFromTop;
    return bgr.data() + (static_cast<std::size_t>(row) * width + x) * 3;
}

double DecodedPicture::blueness(int firstRow, int rows) const {
    double sum = 0;
    for (int y = firstRow; y < firstRow + rows; ++y) {
        for (int x = 0; x < width; ++x) sum += pixel(x, y)[0] - pixel(x, y)[2];
    }
    return sum / (static_cast<double>(rows) * width);
}

int DecodedPicture::blackPixels(const sim::PixelRect& rect) const {
    int count = 0;
    for (int y = rect.y; y < rect.bottom(); ++y) {
        for (int x = rect.x; x < rect.right(); ++x) {
            const std::uint8_t* p = pixel(x, y);
            if (p[0] == 0 && p[1] == 0 && p[2] == 0) ++count;
        }
    }
    return count;
}

bool DecodedPicture::blackInside(const sim::PixelRect& rect) const {
    return blackPixels(rect) == rect.width * rect.height;
}

bool upright(const DecodedPicture& picture) {
    const int band = picture.height / 8;
    return picture.blueness(picture.height / 8, band) >
           picture.blueness(picture.height - 2 * band, band) + 20;
}

double meanDifference(const DecodedPicture& a, const DecodedPicture& b) {
    if (a.bgr.size() != b.bgr.size() || a.bgr.empty()) return 255;
    double sum = 0;
    for (std::size_t i = 0; i < a.bgr.size(); ++i) sum += std::abs(a.bgr[i] - b.bgr[i]);
    return sum / static_cast<double>(a.bgr.size());
}

}  // namespace ambro::test
