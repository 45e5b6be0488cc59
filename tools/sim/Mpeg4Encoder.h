#pragma once

#include <cstdint>
#include <vector>

#include "tools/sim/YuvPicture.h"

namespace ambro::sim {

// An MPEG-4 Part 2 encoder on libxvidcore: no B-pictures, a fixed quantiser
// per picture (so the same pictures always give the same stream), a key
// picture at least every kKeyInterval pictures.
class Mpeg4Encoder {
public:
    static constexpr int kKeyInterval = 30;
    static constexpr int kFramesPerSecond = 25;

    Mpeg4Encoder(int width, int height);
    ~Mpeg4Encoder();
    Mpeg4Encoder(const Mpeg4Encoder&) = delete;
    Mpeg4Encoder& operator=(const Mpeg4Encoder&) = delete;

    bool valid() const { return handle_ != nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }

    struct Coded {
        std::vector<std::uint8_t> bytes;
        bool key = false;
    };
    // `bottomRowFirst` codes the picture upside down, as the servers code
    // pictures without a flip tail. Empty bytes when the library failed.
    Coded encode(const YuvPicture& picture, int quantiser, bool forceKey, bool bottomRowFirst);

private:
    void* handle_ = nullptr;
    int width_;
    int height_;
    std::vector<std::uint8_t> output_;
};

}  // namespace ambro::sim
