#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ambro::sim {

// The faults a simulated installation can be told to show, so that a client
// can be tried against a misbehaving server. Each server applies a kind at a
// fixed point of its protocol (the README lists where).
enum class FaultKind {
    RefusedLogin,     // every log-in is refused
    TooManyUsers,     // live ports greet with the "too many users" word
    ClientRejected,   // the older generation's client check and the playback
                      // version check refuse this client
    BadMagic,         // the first message carries a wrong magic
    AbsurdLength,     // the first reply announces an impossible length
    CloseMidMessage,  // the first picture is cut off and the connection closed
    Silence,          // connections are accepted and never answered
    Garbage,          // pictures are random bytes in valid framing
    SlowLink,         // every byte is trickled out slowly
};

class FaultPlan {
public:
    FaultPlan() = default;
    explicit FaultPlan(std::set<FaultKind> kinds) : kinds_(std::move(kinds)) {}

    static std::optional<FaultKind> kindOf(const std::string& name);
    static std::string nameOf(FaultKind kind);
    static std::vector<std::string> allNames();

    void add(FaultKind kind) { kinds_.insert(kind); }
    bool has(FaultKind kind) const { return kinds_.count(kind) != 0; }
    bool empty() const { return kinds_.empty(); }

private:
    std::set<FaultKind> kinds_;
};

}  // namespace ambro::sim
