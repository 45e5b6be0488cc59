#include "tools/sim/CurrentLiveServer.h"

#include "net/Blowfish.h"
#include "tools/sim/CurrentVideoStream.h"
#include "tools/sim/DomeCommandDecoder.h"

namespace ambro::sim {

namespace {

using namespace std::chrono_literals;
using platform::loadLe16;
using platform::loadLe32;

constexpr std::size_t kHeadSize = 16;
constexpr std::size_t kCredentialField = 32;
constexpr std::size_t kLoginBody = 72;
constexpr std::uint32_t kAbsurdLength = 0x7FFFFFF0;
constexpr std::uint32_t kBadMagic = 0x51584157;  // "WAXQ"
constexpr std::chrono::minutes kDrainLimit{10};
constexpr std::chrono::seconds kAuxiliaryPeriod{1};
constexpr std::uint32_t kIoStateMessage = 0x300;

enum Command : std::uint32_t {
    kLogin = 1, kKey = 3, kInformation = 7, kDescription = 8, kVideoCheck = 18,
    kVideoStart = 19, kVideoChannels = 32, kPassThrough = 50, kPtzDescription = 56,
    kOutput = 68, kAuxiliaryCheck = 176, kExtraBlock = 226,
};

enum ConnectionType : std::uint32_t { kCommandType = 0, kVideoType = 1, kAuxiliaryType = 3 };

// Blowfish in ECB mode over a 32-byte field, each 8-byte block read as two
// little-endian words.
std::string decryptField(const net::Blowfish& cipher, const std::uint8_t* field) {
    std::uint8_t plain[kCredentialField];
    for (std::size_t block = 0; block < kCredentialField; block += 8) {
        std::uint32_t left = loadLe32(field + block);
        std::uint32_t right = loadLe32(field + block + 4);
        cipher.decryptBlock(left, right);
        platform::storeLe32(plain + block, left);
        platform::storeLe32(plain + block + 4, right);
    }
    return textOfField(plain, kCredentialField);
}

std::string cutTo(const std::string& text, std::size_t length) {
    return text.substr(0, std::min(text.size(), length));
}

}  // namespace

CurrentLiveServer::CurrentLiveServer(Installation& installation) : installation_(installation) {}

std::optional<CurrentLiveServer::Request> CurrentLiveServer::readRequest(ClientLink& link) const {
    std::uint8_t head[kHeadSize];
    if (!link.receiveExactly(head)) return std::nullopt;
    const std::uint32_t length = loadLe32(head + 4);
    if (loadLe32(head) != kClientMagic || length < kHeadSize || length > kMaxRequestLength) {
        installation_.log().detail("current generation: unreadable request from " + link.peer());
        return std::nullopt;
    }
    Request request;
    request.command = loadLe32(head + 8);
    request.parameter = loadLe32(head + 12);
    request.body.resize(length - kHeadSize);
    if (!link.receiveExactly(request.body)) return std::nullopt;
    return request;
}

bool CurrentLiveServer::sendReply(ClientLink& link, std::uint32_t command, std::uint32_t parameter,
                                  const WireBytes& body) const {
    WireBytes message(kHeadSize);
    message.put32(0, kServerMagic);
    message.put32(4, static_cast<std::uint32_t>(kHeadSize + body.size()));
    message.put32(8, command);
    message.put32(12, parameter);
    message.append(body);
    return link.sendAll(message);
}

bool CurrentLiveServer::greet(ClientLink& link) const {
    const FaultPlan& faults = installation_.faults();
    WireBytes greeting(kHeadSize);
    greeting.put32(0, faults.has(FaultKind::TooManyUsers) ? kRefusingGreeting
                      : faults.has(FaultKind::BadMagic)   ? kBadMagic
                                                          : kServerMagic);
    greeting.put32(4, 1);
    return link.sendAll(greeting);
}

void CurrentLiveServer::serve(ClientLink& link) {
    const FaultPlan& faults = installation_.faults();
    if (faults.has(FaultKind::Silence)) return link.drainUntilClosed(kDrainLimit);
    if (!greet(link)) return;
    if (faults.has(FaultKind::TooManyUsers) || faults.has(FaultKind::BadMagic)) {
        return link.drainUntilClosed(kDrainLimit);
    }
    std::optional<CurrentSession::Key> key;
    while (auto request = readRequest(link)) {
        if (request->command == kKey) {
            key = sessions_.newKey();
            if (!sendKey(link, *key)) return;
            if (faults.has(FaultKind::AbsurdLength)) return link.drainUntilClosed(kDrainLimit);
        } else if (request->command == kLogin) {
            // A connection that logs in is served to its end.
            return login(link, *request, key);
        } else {
            installation_.log().detail("current generation: request " +
                                       std::to_string(request->command) + " before log-in");
            return;
        }
    }
}

bool CurrentLiveServer::sendKey(ClientLink& link, const CurrentSession::Key& key) const {
    WireBytes reply(36);
    reply.put32(0, kServerMagic);
    const bool absurd = installation_.faults().has(FaultKind::AbsurdLength);
    reply.put32(4, absurd ? kAbsurdLength : 36);
    reply.put32(8, kKey);
    reply.putBytes(16, key);
    reply.put32(32, 0x00010001);
    return link.sendAll(reply);
}

bool CurrentLiveServer::credentialsAccepted(const CurrentSession::Key& key,
                                            const std::vector<std::uint8_t>& body,
                                            std::string& user) const {
    const net::Blowfish cipher(key);
    user = decryptField(cipher, body.data());
    const std::string password = decryptField(cipher, body.data() + kCredentialField);
    if (installation_.faults().has(FaultKind::RefusedLogin)) return false;
    // The fields hold at most 32 bytes, so longer accounts compare cut.
    for (const auto& [name, stored] : installation_.users().accounts()) {
        if (cutTo(name, kCredentialField) == user &&
            cutTo(stored, kCredentialField) == password) {
            return true;
        }
    }
    return false;
}

void CurrentLiveServer::login(ClientLink& link, const Request& request,
                              const std::optional<CurrentSession::Key>& key) {
    if (request.body.size() < kLoginBody) return;
    const std::uint32_t type = loadLe32(request.body.data() + 68);
    std::shared_ptr<CurrentSession> session;
    if (type != kCommandType) session = sessions_.find(request.parameter);
    const std::optional<CurrentSession::Key> usedKey =
        type == kCommandType ? key : (session ? std::optional(session->key()) : std::nullopt);
    std::string user;
    const bool knownType = type == kCommandType || type == kVideoType || type == kAuxiliaryType;
    const bool accepted = knownType && usedKey && credentialsAccepted(*usedKey, request.body, user) &&
                          (type == kCommandType || user == session->user());
    if (!accepted) {
        installation_.log().event("current generation: log-in of \"" + user + "\" from " +
                                  link.peer() + " refused");
        WireBytes status;
        status.put32(0, kRefused);
        sendReply(link, kLogin, 0, status);
        return link.drainUntilClosed(kDrainLimit);
    }
    if (type == kCommandType) session = sessions_.create(*key, user);
    WireBytes status;
    status.put32(0, kAccepted);
    if (!sendReply(link, kLogin, session->ticket(), status)) return;
    const SessionAttachment attachment(*session, link);
    if (type == kCommandType) {
        installation_.log().detail("current generation: " + user + " logged in from " + link.peer());
        serveCommands(link, session);
        sessions_.remove(session->ticket());
        session->close();
    } else if (type == kVideoType) {
        CurrentVideoStream(installation_, link, session).run();
    } else {
        serveAuxiliary(link, session);
    }
}

void CurrentLiveServer::serveCommands(ClientLink& link,
                                      const std::shared_ptr<CurrentSession>& session) {
    while (auto request = readRequest(link)) {
        if (!answer(link, *request, *session)) return;
    }
}

bool CurrentLiveServer::answer(ClientLink& link, const Request& request, CurrentSession& session) {
    const std::uint32_t ticket = session.ticket();
    const auto word = [&](std::size_t offset) {
        return request.body.size() >= offset + 4 ? loadLe32(request.body.data() + offset) : 0u;
    };
    WireBytes body;
    switch (request.command) {
        case kInformation: return sendReply(link, kInformation, ticket, serverInformation());
        case kDescription: return sendReply(link, kDescription, ticket, serverDescription());
        case kExtraBlock:
            body.put32(0, static_cast<std::uint32_t>(installation_.cameras().count()));
            body.putText(4, "ambro-sim", 64);
            return sendReply(link, kExtraBlock, ticket, body);
        case kAuxiliaryCheck:
        case kVideoCheck:
            body.put32(0, 1);
            body.put32(4, 0);  // the replies are 24 bytes long
            return sendReply(link, request.command, ticket, body);
        case kVideoChannels:
            session.setChannelMask(word(0) & installation_.cameras().channelMask());
            break;
        case kVideoStart: session.startVideo(); break;
        case kPtzDescription: return sendReply(link, kPtzDescription, ticket, ptzDescription(word(0)));
        case kPassThrough: body.put32(0, passThrough(request.body, link.peer())); break;
        case kOutput: {
            const bool known = request.body.size() >= 4 &&
                               installation_.io().setFlatOutput(
                                   loadLe16(request.body.data()), loadLe16(request.body.data() + 2) != 0,
                                   link.peer() + " (current generation)");
            body.put32(0, known ? 0 : 1);
            break;
        }
        default:
            installation_.log().detail("current generation: unknown request " +
                                       std::to_string(request.command));
            body.put32(0, 0xFFFFFFFF);
            break;
    }
    if (body.size() == 0) body.put32(0, 0);
    return sendReply(link, request.command, ticket, body);
}

WireBytes CurrentLiveServer::serverInformation() const {
    WireBytes block(48);
    block.put32(0, installation_.cameras().channelMask());
    block.put32(4, 1);  // the input names are valid
    block.put32(8, 1);  // the output names are valid
    return block;
}

WireBytes CurrentLiveServer::serverDescription() const {
    WireBytes block(2648);
    block.put32(4, static_cast<std::uint32_t>(kServerKind));
    const auto inputs = installation_.io().flatInputNames();
    const auto outputs = installation_.io().flatOutputNames();
    const std::size_t names = std::min<std::size_t>({inputs.size(), outputs.size(), 16});
    block.put16(14, static_cast<std::uint16_t>(names));
    const CameraCatalogue& cameras = installation_.cameras();
    for (int i = 0; i < cameras.count(); ++i) {
        const std::size_t record = 28 + 44 * static_cast<std::size_t>(i);
        block.put32(record, static_cast<std::uint32_t>(i + 1));
        block.put32(record + 4, static_cast<std::uint32_t>(cameras.camera(i).status));
        block.putText(record + 12, cameras.camera(i).name, 32);
    }
    for (std::size_t i = 0; i < names; ++i) {
        block.putText(1372 + 32 * i, inputs[i], 17);
        block.putText(1900 + 32 * i, outputs[i], 17);
    }
    return block;
}

// A status word, then the 64-byte record at offset 20 of the reply.
WireBytes CurrentLiveServer::ptzDescription(std::uint32_t camera) const {
    WireBytes body(4 + 64);
    const CameraCatalogue& cameras = installation_.cameras();
    const int index = static_cast<int>(camera);
    if (camera < static_cast<std::uint32_t>(cameras.count()) && cameras.camera(index).hasDome()) {
        body.put32(4, 1);
        body.put32(8, camera + 1);  // each dome on a line of its own
        body.put32(12, 0);          // address 1
        body.put32(16, 3);          // middle speed
        body.putText(24, CameraCatalogue::domeModelName(cameras.camera(index).dome), 44);
    }
    return body;
}

std::uint32_t CurrentLiveServer::passThrough(const std::vector<std::uint8_t>& body,
                                             const std::string& who) {
    if (body.size() < 4) return 1;
    const int camera = static_cast<int>(loadLe32(body.data())) - 1;
    DomeModel* dome = installation_.dome(camera);
    if (!dome) return 1;
    const DomeProtocol protocol = installation_.cameras().camera(camera).dome;
    const auto command = DomeCommandDecoder::decode(
        protocol, CameraCatalogue::domeAddressCode(protocol),
        std::span(body).subspan(4));
    if (!command) {
        installation_.log().detail("dome of camera " + std::to_string(camera + 1) +
                                   ": bytes not understood from " + who);
        return 1;
    }
    return dome->apply(*command, std::chrono::steady_clock::now()) ? 0 : 1;
}

// Pushes the input and output state every second until the session ends.
void CurrentLiveServer::serveAuxiliary(ClientLink& link,
                                       const std::shared_ptr<CurrentSession>& session) {
    while (session->open()) {
        const TimePoint now = Clock::now();
        const auto masks = installation_.io().inputMasks(now);
        WireBytes body;
        for (std::size_t module = 0; module < masks.size(); ++module) {
            body.put16(2 * module, masks[module]);
            body.put16(16 + 2 * module,
                       installation_.io().outputStates(static_cast<int>(module) + 1, now));
        }
        std::uint8_t time[DateTime::kSize];
        localDateTime(now).toBytes(time);
        body.putBytes(32, time);
        if (!sendReply(link, kIoStateMessage, session->ticket(), body)) return;
        const auto deadline = std::chrono::steady_clock::now() + kAuxiliaryPeriod;
        // Clients send nothing here; whatever comes is dropped, and a close
        // ends the connection.
        while (session->open() && std::chrono::steady_clock::now() < deadline) {
            const auto readiness = link.waitReadable(100ms);
            std::uint8_t dropped;
            if (readiness == ClientLink::Readiness::Closed ||
                (readiness == ClientLink::Readiness::Readable &&
                 !link.receiveExactly(std::span(&dropped, 1)))) {
                return;
            }
        }
    }
}

}  // namespace ambro::sim
