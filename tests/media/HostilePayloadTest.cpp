#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <random>

#include "tests/support/DecoderHarness.h"
#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/PayloadBuilder.h"

namespace ambro::media {
namespace {

using test::Bytes;
using test::PayloadBuilder;
using test::PayloadMarker;

// Real payloads in every container kind, with bytes flipped, words replaced
// by extreme values and tails cut at random. Whatever comes, the decoder must
// stay inside its buffers; the sanitizer builds make any stray access fatal.
TEST(HostilePayloads, NeverLeaveTheirBuffers) {
    constexpr int kWidth = 176;
    constexpr int kHeight = 144;
    const auto coded = test::splitIntoPictures(
        test::readFile(test::fixturePath("mpeg4/libxvid_176x144_bf2.m4v")));
    const Bytes rects = PayloadBuilder::rectangleList({{0, 0, 100, 100}, {-5, 300, 5000, -9}});

    std::vector<Bytes> seeds;
    for (const auto& picture : coded) {
        seeds.push_back(PayloadBuilder(PayloadMarker::ChecksumF, picture.bytes)
                            .scrambledMaskBlock(rects)
                            .padding()
                            .build());
        seeds.push_back(PayloadBuilder(PayloadMarker::ExtendedHeader, picture.bytes).build());
        PayloadBuilder flip(PayloadMarker::None, picture.bytes);
        flip.plainMaskBlock(rects, false);
        seeds.push_back(flip.word(flip.lastBlockSize()).flipTail().build());
        seeds.push_back(PayloadBuilder(PayloadMarker::None, picture.bytes)
                            .closingWord(false)
                            .chainBlock({123, 456, 789, 100}, 40, 20)
                            .chainHead()
                            .build());
    }

    std::mt19937 random(20261209);
    const std::uint32_t extremes[] = {0, 1, 15, 16, 31, 32, 10240, 10241, 40960, 0x7FFFFFFF,
                                      0x80000000, 0xFFFFFFFF};
    test::DecoderHarness harness(kWidth, kHeight);

    for (int round = 0; round < 3000; ++round) {
        Bytes payload = seeds[random() % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 6);
        for (int e = 0; e < edits && !payload.empty(); ++e) {
            const std::size_t at = random() % payload.size();
            switch (random() % 4) {
                case 0: payload[at] ^= static_cast<std::uint8_t>(1u << (random() % 8)); break;
                case 1:
                    if (at + 4 <= payload.size()) {
                        const std::uint32_t value = extremes[random() % std::size(extremes)];
                        std::memcpy(payload.data() + at, &value, 4);
                    }
                    break;
                case 2: payload.resize(at); break;
                default: payload[at] = static_cast<std::uint8_t>(random()); break;
            }
        }
        const int result = harness.decode(payload);
        ASSERT_TRUE(result == 0 || result == -1);
        ASSERT_LE(harness.inputFormat().imageSize, payload.size());
        ASSERT_TRUE(harness.guardIntact()) << "written past the picture in round " << round;
    }
}

}  // namespace
}  // namespace ambro::media
