#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace ambro::playback {

// The latest decoded picture, handed from the picture thread to whoever draws
// it. Buffers are swapped, never copied: publishing gives the picture thread
// back an older buffer to decode into, taking gives the window the newest
// picture for its old one. A slow drawer only ever misses pictures; it never
// holds up the picture thread.
class PictureSlot {
public:
    // A bottom-up BGR picture, rows width x 3 bytes apart.
    struct Picture {
        std::vector<std::uint8_t> pixels;
        int width = 0;
        int height = 0;
        bool empty() const { return width == 0 || height == 0; }
    };

    // Puts `picture` into the slot; `picture` receives the buffer it replaces.
    void publish(Picture& picture);
    // Swaps the newest picture into `picture` when there is one not yet taken.
    bool take(Picture& picture);
    // Forgets a picture not yet taken.
    void clear();

private:
    std::mutex mutex_;
    Picture ready_;
    bool fresh_ = false;
};

}  // namespace ambro::playback
