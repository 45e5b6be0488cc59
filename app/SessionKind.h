#pragma once

namespace ambro::app {

enum class SessionKind { Live, Playback };

}  // namespace ambro::app
