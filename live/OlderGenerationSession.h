#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "live/CommandBlock.h"
#include "live/LiveShared.h"
#include "live/SessionChannel.h"
#include "live/SessionError.h"
#include "platform/Deadline.h"

namespace ambro::live {

// The session thread of an older-generation server: it logs in on the
// session socket, then serves the mailbox and either receives the video
// stream into the frame ring, polls alarms while the input monitor is open,
// or asks for camera statuses while their page is shown.
class OlderGenerationSession {
public:
    // Versions from here have a view word in their hello reply.
    static constexpr std::int32_t kViewWordVersion = 8200;
    static constexpr int kMaxModules = 8;
    static constexpr std::size_t kAudioBufferSize = 16000;
    // The longest frame any server announces; a longer one ends the session.
    static constexpr std::int32_t kLongestFrame = 716800;

    OlderGenerationSession(LiveShared& shared, platform::SocketField& socket,
                           std::string userName, std::string password);

    // The thread's body. `startRunning` is called once the log-in is done;
    // it starts what runs beside the session (the control thread). Returns
    // what ended the session, if anything did.
    std::optional<SessionError> run(const std::function<void()>& startRunning);

private:
    enum class LoginEnd { Done, Silent, Failed };

    LoginEnd logIn(std::optional<SessionError>& error);
    bool exchange(std::int32_t code, std::span<const std::uint8_t> payload);
    bool readModules(int count);
    void report(LoginEnd login, std::optional<SessionError> error, bool wasRunning);

    // One pass of the main loop; the error that ends the session, if any.
    std::optional<SessionError> pass();
    std::optional<SessionError> statusPagePass();
    // Waits a few milliseconds, less when a command is posted or the
    // session closes.
    void waitForCommand();
    bool serveMailbox();
    bool requestCameraStatus();
    // Receives until a message that is not a stream packet arrives.
    bool receiveFinalReply(Deadline deadline);
    void applyEffect(const CommandBlock& sent);
    void applyCameraSelect();
    void applyImageSize(const CommandBlock& sent);
    void applyRotation(const CommandBlock& sent);
    std::optional<SessionError> streamPass();
    bool streamStopped() const;
    std::optional<SessionError> receiveFrame();
    std::optional<SessionError> receiveAudio();
    // Takes stream packets of `status` until `length` bytes have come; each
    // packet's bytes go to `store` (offset, bytes).
    std::optional<SessionError> receivePackets(
        std::int32_t status, std::int64_t length,
        const std::function<void(std::size_t, std::span<const std::uint8_t>)>& store);
    bool pollAlarms();

    LiveShared& shared_;
    platform::SocketField& socket_;
    const std::string userName_;
    const std::string password_;
    SessionChannel channel_;
    bool loggedIn_ = false;
    std::vector<std::uint8_t> audio_;
    // When the status page next asks for the statuses; none while it is hidden.
    std::optional<platform::Deadline> statusRepeat_;
};

}  // namespace ambro::live
