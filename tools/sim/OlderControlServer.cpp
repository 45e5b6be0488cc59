#include "tools/sim/OlderControlServer.h"

#include <array>
#include <cstdio>

#include "tools/sim/DomeCommandDecoder.h"
#include "tools/sim/WireBytes.h"

namespace ambro::sim {

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::seconds kPairingWait{10};
constexpr std::chrono::minutes kDrainLimit{10};
constexpr std::chrono::milliseconds kClickDuration{300};
constexpr std::chrono::milliseconds kPulseDuration{2000};
constexpr int kForceOutputBase = 30;

enum Opcode : std::uint8_t { kLogin = 7, kShortCamera = 53, kLongCamera = 54, kChannel = 100 };

using Answer = std::array<std::uint8_t, 3>;

}  // namespace

OlderControlServer::OlderControlServer(Installation& installation) : installation_(installation) {}

std::string OlderControlServer::codedPassword(const std::string& password) {
    std::string coded;
    const std::size_t n = password.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned value = (static_cast<unsigned char>(password[i]) + n - i) % 256;
        char digits[8];
        std::snprintf(digits, sizeof digits, "%x", value);
        coded += digits;
    }
    return coded;
}

void OlderControlServer::serveCommandPort(ClientLink& link) {
    if (installation_.faults().has(FaultKind::Silence)) return link.drainUntilClosed(kDrainLimit);
    WireBytes version;
    version.put32(0, kVersion);
    std::uint8_t clientType[4];
    if (!link.sendAll(version) || !link.receiveExactly(clientType)) return;
    std::uint32_t session;
    {
        std::lock_guard lock(mutex_);
        session = nextSession_++;
        pairings_[session] = {};
    }
    WireBytes number;
    number.put32(0, session);
    if (link.sendAll(number)) {
        const bool paired = waitForDataConnection(session, link);
        const std::uint8_t ready[4] = {'R', 'D', 'Y', 0};
        const std::uint8_t notReady[4] = {'N', 'O', 0, 0};
        if (link.sendAll(paired ? std::span(ready) : std::span(notReady)) && paired) {
            bool loggedIn = false;
            std::uint8_t opcode;
            while (link.receiveExactly(std::span(&opcode, 1)) && serveRequest(link, opcode, loggedIn)) {
            }
        }
    }
    endSession(session);
}

void OlderControlServer::serveDataPort(ClientLink& link) {
    std::uint8_t number[4];
    if (!link.receiveExactly(number)) return;
    const std::uint32_t session = platform::loadLe32(number);
    std::unique_lock lock(mutex_);
    const auto pairing = pairings_.find(session);
    if (pairing == pairings_.end() || pairing->second.dataArrived) return;
    pairing->second.dataArrived = true;
    changed_.notify_all();
    // The data connection carries nothing more; it stays open as long as its
    // command connection.
    while (!link.stopping() && pairings_.count(session)) {
        lock.unlock();
        const bool closed = link.waitReadable(200ms) == ClientLink::Readiness::Closed;
        lock.lock();
        if (closed) break;
    }
}

bool OlderControlServer::waitForDataConnection(std::uint32_t session, ClientLink& link) {
    std::unique_lock lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + kPairingWait;
    const auto arrived = [&] { return pairings_.at(session).dataArrived; };
    while (!arrived()) {
        if (link.stopping() || changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
            return arrived();
        }
    }
    return true;
}

void OlderControlServer::endSession(std::uint32_t session) {
    std::lock_guard lock(mutex_);
    pairings_.erase(session);
}

bool OlderControlServer::serveRequest(ClientLink& link, std::uint8_t opcode, bool& loggedIn) {
    if (opcode == kLogin) return logIn(link, loggedIn);
    std::uint8_t fields[4] = {};
    std::size_t count = 0;
    if (opcode == kShortCamera) count = 3;
    else if (opcode == kLongCamera) count = 4;
    else if (opcode == kChannel) count = 2;
    else {
        installation_.log().detail("control connection: unknown request " + std::to_string(opcode));
        return false;
    }
    if (!link.receiveExactly(std::span(fields, count))) return false;
    const std::string who = link.peer() + " (older generation)";
    std::optional<Answer> answer;
    if (loggedIn && opcode == kChannel) {
        answer = channelCommand(fields[0], fields[1], who);
    } else if (loggedIn) {
        answer = cameraCommand(fields[0], fields[1], fields[2], opcode == kLongCamera ? fields[3] : 3, who);
    }
    if (!answer) {
        const std::uint8_t refused = 0;
        return link.sendAll(std::span(&refused, 1));
    }
    const std::uint8_t reply[4] = {1, (*answer)[0], (*answer)[1], (*answer)[2]};
    return link.sendAll(reply);
}

// 7, n, coded password, 0, user name, 0.
bool OlderControlServer::logIn(ClientLink& link, bool& loggedIn) {
    std::uint8_t length;
    if (!link.receiveExactly(std::span(&length, 1))) return false;
    std::vector<std::uint8_t> text(length);
    if (!link.receiveExactly(text)) return false;
    const std::string coded = textOfField(text.data(), text.size());
    const std::string user =
        coded.size() + 1 < text.size()
            ? textOfField(text.data() + coded.size() + 1, text.size() - coded.size() - 1)
            : std::string();
    const auto password = installation_.users().passwordOf(user);
    loggedIn = password && codedPassword(*password) == coded &&
               !installation_.faults().has(FaultKind::RefusedLogin);
    if (!loggedIn) {
        installation_.log().event("older generation: control log-in of \"" + user + "\" from " +
                                  link.peer() + " refused");
        const std::uint8_t refused = 0;
        return link.sendAll(std::span(&refused, 1));
    }
    const std::uint8_t accepted[3] = {1, 1, 0};
    return link.sendAll(accepted);
}

std::optional<Answer> OlderControlServer::cameraCommand(int code, int parameter, int channel,
                                                        int speed, const std::string& who) {
    DomeModel* dome = installation_.dome(channel);
    if (code == 0) return Answer{static_cast<std::uint8_t>(dome ? 1 : 0), 0, 0};  // the poll
    if (!dome) return Answer{0, 0, 0};
    const auto command = DomeCommandDecoder::decodeCameraCommand(code, parameter, speed);
    if (!command) {
        installation_.log().detail("control connection: camera command " + std::to_string(code) +
                                   " not known, from " + who);
        return Answer{0, 0, 0};
    }
    const bool done = dome->applyFor(*command, kClickDuration, std::chrono::steady_clock::now());
    return Answer{static_cast<std::uint8_t>(done ? 1 : 0), 0, 0};
}

// Value 0 asks whether module index + 1 answers (and for its output
// states), n + 30 forces its output n.
std::optional<Answer> OlderControlServer::channelCommand(int index, int value,
                                                         const std::string& who) {
    IoModel& io = installation_.io();
    const int module = index + 1;
    const bool present = module <= static_cast<int>(io.modules().size());
    if (!present) return Answer{0, 0, 0};
    if (value > kForceOutputBase && value <= kForceOutputBase + 16) {
        const bool done = io.pulseOutput(module, value - kForceOutputBase, kPulseDuration, who);
        return Answer{static_cast<std::uint8_t>(done ? 1 : 0), 0, 0};
    }
    const std::uint16_t states = io.outputStates(module, Clock::now());
    return Answer{1, static_cast<std::uint8_t>(states), static_cast<std::uint8_t>(states >> 8)};
}

}  // namespace ambro::sim
