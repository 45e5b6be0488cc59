#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "media/McuStrip.h"
#include "tests/support/CodePathScope.h"

namespace ambro::media {
namespace {

constexpr int kRows = McuStrip::kMcuSize;
constexpr int kColumns = static_cast<int>(McuStrip::kRowLength);

struct Bgr {
    int blue, green, red;
};

// The JFIF conversion with 16 fractional bits, level-shifted.
int expectedLuma(const Bgr& c) {
    return ((19595 * c.red + 38470 * c.green + 7471 * c.blue + 32768) >> 16) - 128;
}
int expectedCb(const Bgr& c) {
    return ((-11059 * c.red - 21709 * c.green + 32768 * c.blue + 8421375) >> 16) - 128;
}
int expectedCr(const Bgr& c) {
    return ((32768 * c.red - 27439 * c.green - 5329 * c.blue + 8421375) >> 16) - 128;
}

// 16 rows of 256 pixels, each colour given by its index 0xRRGGBB.
struct StripPicture {
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kRows * kColumns * 3);
    const std::uint8_t* rows[kRows];
    StripPicture() {
        for (int r = 0; r < kRows; ++r) rows[r] = bytes.data() + r * kColumns * 3;
    }
    void set(int r, int c, std::uint32_t index) {
        std::uint8_t* pixel = bytes.data() + (r * kColumns + c) * 3;
        pixel[0] = static_cast<std::uint8_t>(index);
        pixel[1] = static_cast<std::uint8_t>(index >> 8);
        pixel[2] = static_cast<std::uint8_t>(index >> 16);
    }
    Bgr at(int r, int c) const {
        const std::uint8_t* pixel = bytes.data() + (r * kColumns + c) * 3;
        return {pixel[0], pixel[1], pixel[2]};
    }
};

// Every sample of a strip of `mcus` MCUs against the formulas, the pixel of
// column c being column min(c, pixels - 1).
void expectSamples(const StripPicture& picture, const McuStrip& strip, int pixels, int mcus) {
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < mcus * 16; ++c) {
            const Bgr colour = picture.at(r, std::min(c, pixels - 1));
            ASSERT_EQ(strip.luma[r][c], expectedLuma(colour)) << "row " << r << " column " << c;
            if (r % 2 != 0 || c % 2 != 0) continue;
            const int at = c / 16 * 16 + c % 16 / 2;
            ASSERT_EQ(strip.chroma[r / 2][at], expectedCb(colour))
                << "row " << r << " column " << c;
            ASSERT_EQ(strip.chroma[r / 2][at + 8], expectedCr(colour))
                << "row " << r << " column " << c;
        }
    }
}

// Each of the 2^24 colours once at a pixel whose chroma is sampled (even row,
// even column), the other pixels other colours; on both code paths.
TEST(McuStrip, EveryColourConvertsByTheFormulas) {
    StripPicture picture;
    auto strip = std::make_unique<McuStrip>();
    constexpr std::uint32_t kSampledPerStrip = kRows / 2 * kColumns / 2;
    for (const bool plain : {false, true}) {
        test::CodePathScope path(plain);
        const StripFiller fill = stripFiller();
        for (std::uint32_t first = 0; first < (1u << 24); first += kSampledPerStrip) {
            for (int r = 0; r < kRows; ++r) {
                for (int c = 0; c < kColumns; ++c) {
                    const std::uint32_t sampled = first + (r / 2) * (kColumns / 2) + c / 2;
                    const std::uint32_t other = (r % 2) * 2 + c % 2;
                    picture.set(r, c, (sampled ^ (other * 0x9E3779u)) & 0xFFFFFF);
                }
            }
            fill(picture.rows, kColumns, kColumns / 16, *strip);
            expectSamples(picture, *strip, kColumns, kColumns / 16);
            if (HasFatalFailure()) return;
        }
    }
}

// Strips narrower than their MCUs repeat the last pixel in the columns past
// it, for every width from 1 to 256 and strips of 1 to 16 MCUs.
TEST(McuStrip, ColumnsPastTheEdgeRepeatTheLastPixel) {
    StripPicture picture;
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c)
            picture.set(r, c, (r * 7919u + c * 104729u) * 2654435761u);
    }
    auto strip = std::make_unique<McuStrip>();
    for (const bool plain : {false, true}) {
        test::CodePathScope path(plain);
        for (int pixels = 1; pixels <= kColumns; ++pixels) {
            const int mcus = (pixels + 15) / 16;
            stripFiller()(picture.rows, pixels, mcus, *strip);
            expectSamples(picture, *strip, pixels, mcus);
            if (HasFatalFailure()) return;
        }
    }
}

}  // namespace
}  // namespace ambro::media
