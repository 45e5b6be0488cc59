#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Deadline.h"
#include "platform/SocketField.h"
#include "playback/FrameSink.h"
#include "playback/OpeningStatus.h"
#include "playback/PlaybackMessage.h"
#include "playback/PlaybackReplies.h"

namespace ambro::playback {

// The one TCP connection of a playback session: the sender side with its
// request/reply discipline, and the receiver thread that reads every message,
// files the replies and hands frames to the picture path.
//
// Only one request with a reply is outstanding at a time; its wait polls
// every 10 ms and gives up after the reply timeout, which ends the session.
class PlaybackConnection {
public:
  // Connection results: the opening statuses of this step, the opening
  // going on when connected.
  static constexpr int kConnected = opening::kConnecting;
  static constexpr int kNoSocket = opening::kNoSocket;
  static constexpr int kUnknownHost = opening::kUnknownHost;
  static constexpr int kConnectFailed = opening::kConnectFailed;

  static constexpr std::chrono::milliseconds kReplyPoll{10};

  // `ended` is called once, from whichever thread notices first, when the
  // connection ends: the receiver left its loop, a send failed, or a reply
  // did not come in time.
  PlaybackConnection(FrameSink& frames, std::function<void()> ended);
  ~PlaybackConnection();

  PlaybackConnection(const PlaybackConnection&) = delete;
  PlaybackConnection& operator=(const PlaybackConnection&) = delete;

  // Creates the socket, resolves the host, connects (bounded by the reply
  // timeout, abandoned by interrupt) and starts the receiver thread.
  [[nodiscard]] int connect(const std::string& host, const std::string& port);

  std::optional<WorkPathReply> exchangeWorkPath();
  std::optional<LoginReply> exchangeLogin(const Message& request);
  std::optional<CameraReply> exchangeCamera(const Message& request);
  std::optional<DayReply> exchangeDay(const Message& request);
  std::optional<FileReply> exchangeFile(const Message& request);
  std::optional<OpenReply> exchangeOpen(const Message& request);
  std::optional<SeekReply> exchangeSeek(const Message& request);

  // Sends a message that gets no answer. A failure ends the connection.
  [[nodiscard]] bool send(const Message& message,
                          platform::Deadline deadline = platform::replyDeadline());

  bool stopped() const { return stopped_.load(); }
  // Ends the connection: stops the waits, wakes the receiver. Any thread.
  void interrupt();
  // interrupt(), then joins the receiver and closes the socket.
  void close();

private:
    struct Replies {
        std::optional<WorkPathReply> workPath;
        std::optional<LoginReply> login;
        std::optional<CameraReply> camera;
        std::optional<DayReply> day;
        std::optional<FileReply> file;
        std::optional<OpenReply> open;
        std::optional<SeekReply> seek;
    };

    template <typename Reply>
    std::optional<Reply> exchange(const Message& request, std::optional<Reply> Replies::*slot);
    bool awaitReply();
    void end();

    void receive();
    // One whole message into the receive buffer; its length, or none when
    // the stream broke or the connection ended.
    std::optional<std::size_t> receiveMessage();
    void fileMessage(std::span<const std::uint8_t> message);
    template <typename Reply>
    void fileReply(std::optional<Reply> Replies::*slot, std::optional<Reply> reply);
    void markArrived();

    FrameSink& frames_;
    std::function<void()> ended_;
    platform::SocketField socket_{platform::kNoSocket};
    std::atomic<bool> stopped_{false};
    std::atomic<bool> endReported_{false};
    std::thread receiver_;

    std::mutex sendMutex_;
    std::vector<std::uint8_t> sendBuffer_;

    // Filled by the receiver only. The arrived flag is -1 while a reply is
    // awaited and 1 once the receiver has filed a message.
    std::mutex repliesMutex_;
    std::condition_variable replyFiled_;
    Replies replies_;
    int replyArrived_ = 0;

    std::vector<std::uint8_t> receiveBuffer_;  // the receiver's only
};

}  // namespace ambro::playback
