#include "live/ConnectingText.h"

namespace ambro::live {

std::string connectingText(std::uint32_t counter) {
    std::string text = "Connecting";
    text.append(counter % 10, '.');
    text.resize(kConnectingTextLength, ' ');
    return text;
}

}  // namespace ambro::live
