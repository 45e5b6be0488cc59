#include "tools/sim/FaultPlan.h"

#include <array>
#include <utility>

namespace ambro::sim {

namespace {

constexpr std::array<std::pair<FaultKind, const char*>, 9> kNames = {{
    {FaultKind::RefusedLogin, "refused-login"},
    {FaultKind::TooManyUsers, "too-many-users"},
    {FaultKind::ClientRejected, "client-rejected"},
    {FaultKind::BadMagic, "bad-magic"},
    {FaultKind::AbsurdLength, "absurd-length"},
    {FaultKind::CloseMidMessage, "close-mid-message"},
    {FaultKind::Silence, "silence"},
    {FaultKind::Garbage, "garbage"},
    {FaultKind::SlowLink, "slow-link"},
}};

}  // namespace

std::optional<FaultKind> FaultPlan::kindOf(const std::string& name) {
    for (const auto& [kind, text] : kNames) {
        if (name == text) return kind;
    }
    return std::nullopt;
}

std::string FaultPlan::nameOf(FaultKind kind) {
    for (const auto& [candidate, text] : kNames) {
        if (candidate == kind) return text;
    }
    return "?";
}

std::vector<std::string> FaultPlan::allNames() {
    std::vector<std::string> names;
    for (const auto& entry : kNames) names.emplace_back(entry.second);
    return names;
}

}  // namespace ambro::sim
