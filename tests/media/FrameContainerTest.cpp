#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "media/FrameContainer.h"
#include "platform/ByteOrder.h"
#include "tests/support/PayloadBuilder.h"

namespace ambro::media {
namespace {

using test::Bytes;
using test::PayloadBuilder;
using test::PayloadMarker;

Bytes streamOf(std::size_t length) {
    Bytes stream(length);
    for (std::size_t i = 0; i < length; ++i) stream[i] = static_cast<std::uint8_t>(0x30 + i % 64);
    return stream;
}

const std::array<std::uint32_t, 4> kBoundedChain = {123, 456, 789, 100};

struct ContainerCase {
    const char* name;
    std::function<Bytes()> payload;
    bool accepted;
    std::size_t streamOffset;
    std::size_t streamLength;
    bool extendedHeader = false;
    bool flip = false;
    friend void PrintTo(const ContainerCase& c, std::ostream* out) { *out << c.name; }
};

class Unwrapping : public testing::TestWithParam<ContainerCase> {};

TEST_P(Unwrapping, FindsTheStreamAndTheSwitches) {
    const ContainerCase& c = GetParam();
    Bytes payload = c.payload();
    const UnwrappedPayload result = unwrapFramePayload(payload, true);
    ASSERT_EQ(result.accepted, c.accepted);
    if (!c.accepted) return;
    EXPECT_EQ(result.streamOffset, c.streamOffset);
    EXPECT_EQ(result.streamLength, c.streamLength);
    EXPECT_EQ(result.switchesExtendedHeader, c.extendedHeader);
    EXPECT_EQ(result.switchesVerticalFlip, c.flip);
}

Bytes chainWith(std::uint32_t n) {
    return PayloadBuilder(PayloadMarker::None, streamOf(50))
        .closingWord(false)
        .chainBlock(kBoundedChain, n, 20)
        .chainHead()
        .build();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Unwrapping,
    testing::Values(
        ContainerCase{"ChecksumMarkerAnyFifthByte",
                      [] { return PayloadBuilder(PayloadMarker::ChecksumA, streamOf(40)).build(); },
                      true, 5, 40},
        ContainerCase{"ChecksumMarkerF",
                      [] { return PayloadBuilder(PayloadMarker::ChecksumF, streamOf(40)).build(); },
                      true, 5, 40},
        ContainerCase{"NoChecksumMarker",
                      [] { return PayloadBuilder(PayloadMarker::NoChecksum, streamOf(40)).build(); },
                      true, 5, 40},
        ContainerCase{"ExtendedHeaderMarker",
                      [] {
                          return PayloadBuilder(PayloadMarker::ExtendedHeader, streamOf(40)).build();
                      },
                      true, 5, 40, true},
        ContainerCase{"AlmostMarkerIsUnmarked",
                      [] {
                          Bytes stream = streamOf(40);
                          std::copy_n(Bytes{0x0A, 0x0B, 0x0C, 0x0E}.begin(), 4, stream.begin());
                          return PayloadBuilder(PayloadMarker::None, stream).closingWord(false).build();
                      },
                      true, 0, 40},
        ContainerCase{"TwelveByteChecksumPayloadFails",
                      [] { return PayloadBuilder(PayloadMarker::ChecksumF, streamOf(3)).build(); },
                      false, 0, 0},
        ContainerCase{"ThirteenBytesCheckOffsetZeroOnly",
                      [] {
                          Bytes payload = markerBytes(PayloadMarker::ChecksumF);
                          payload.insert(payload.end(), {1, 2, 3, 4, 0x0F, 0, 0, 0});
                          return payload;
                      },
                      true, 5, 4},
        ContainerCase{"WrongChecksumFails",
                      [] {
                          Bytes payload = PayloadBuilder(PayloadMarker::ChecksumA, streamOf(40)).build();
                          payload.back() ^= 1;
                          return payload;
                      },
                      false, 0, 0},
        ContainerCase{"ExtendedChecksumOverReceivedBytesFails",
                      [] {
                          // Summed as received (scrambled), which this marker must not do.
                          Bytes payload = markerBytes(PayloadMarker::ExtendedHeader);
                          const Bytes stream = streamOf(40);
                          payload.insert(payload.end(), stream.begin(), stream.end());
                          for (std::size_t i = 5; i < 21; ++i) payload[i] ^= 0x5C;
                          const std::uint32_t sum = payloadChecksum(payload, payload.size() + 4);
                          payload.resize(payload.size() + 4);
                          platform::storeLe32(payload.data() + payload.size() - 4, sum);
                          return payload;
                      },
                      false, 0, 0},
        ContainerCase{"ShortUnmarkedFails", [] { return Bytes(12, 0x41); }, false, 0, 0},
        ContainerCase{"UnmarkedValidClosingWordSwitchesExtendedHeader",
                      [] {
                          return PayloadBuilder(PayloadMarker::None, streamOf(40)).closingWord(true).build();
                      },
                      true, 0, 40, true},
        ContainerCase{"PaddingRemovedFromMarked",
                      [] {
                          return PayloadBuilder(PayloadMarker::ChecksumF, streamOf(40)).padding().build();
                      },
                      true, 5, 40},
        ContainerCase{"AuthenticationAtExactly2192Stays",
                      [] {
                          return PayloadBuilder(PayloadMarker::NoChecksum, streamOf(2192 - 5 - 1168))
                              .authentication()
                              .build();
                      },
                      true, 5, 2192 - 5},
        ContainerCase{"AuthenticationAbove2192Removed",
                      [] {
                          return PayloadBuilder(PayloadMarker::NoChecksum, streamOf(2193 - 5 - 1168))
                              .authentication()
                              .build();
                      },
                      true, 5, 2193 - 5 - 1168},
        // A chain that ends leaves its block; the closing-word step then takes
        // the block's last 4 bytes.
        ContainerCase{"ChainNZeroEndsTheChain", [] { return chainWith(0); }, true, 0, 50 + 20},
        ContainerCase{"ChainN3521EndsTheChain", [] { return chainWith(3521); }, true, 0,
                      50 + 3521 + 20},
        ContainerCase{"ChainN3520Removed", [] { return chainWith(3520); }, true, 0, 50},
        ContainerCase{"ChainOfSeveralKinds",
                      [] {
                          return PayloadBuilder(PayloadMarker::None, streamOf(50))
                              .closingWord(false)
                              .chainBlock({9, 18, 27, 36}, 7, 90)
                              .chainBlock({1000, 1001, 1002, 1003}, 5000, 20)
                              .chainBlock({111, 222, 333, 444}, 1, 90)
                              .chainHead()
                              .build();
                      },
                      true, 0, 50},
        ContainerCase{"ChainBlockClaimingTooMuchEndsTheChain",
                      [] {
                          return PayloadBuilder(PayloadMarker::None, streamOf(50))
                              .closingWord(false)
                              .word(900000)
                              .signature({555, 666, 777, 888})
                              .chainHead()
                              .build();
                      },
                      true, 0, 50 + 20},
        ContainerCase{"FlipTailWithoutBlock",
                      [] {
                          return PayloadBuilder(PayloadMarker::None, streamOf(40)).word(0).flipTail().build();
                      },
                      true, 0, 60, false, true},
        ContainerCase{"FlipTailOversizedListFails",
                      [] {
                          PayloadBuilder builder(PayloadMarker::None, streamOf(40));
                          Bytes list = PayloadBuilder::rectangleList({});
                          builder.plainMaskBlock(list, false);
                          Bytes payload = builder.word(builder.lastBlockSize()).flipTail().build();
                          // The declared list size sits 4 bytes before the list.
                          const std::size_t listSizeAt = 40 + 16 + 4 + 4 + 2;
                          platform::storeLe32(payload.data() + listSizeAt, 10241);
                          return payload;
                      },
                      false, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Unwrapping, HeadIsDescrambledAbove24Bytes) {
    for (const std::size_t total : {24u, 25u}) {
        Bytes payload = PayloadBuilder(PayloadMarker::NoChecksum, streamOf(total - 5)).build();
        const Bytes sent = payload;
        ASSERT_TRUE(unwrapFramePayload(payload, true).accepted);
        const Bytes stream = streamOf(total - 5);
        EXPECT_EQ(payload[5], total > 24 ? stream[0] : sent[5]) << total;
        EXPECT_EQ(payload[20], total > 24 ? stream[15] : sent[20]) << total;
    }
}

TEST(Unwrapping, ScrambledMaskBlockIsReadAndRemoved) {
    const Bytes list = PayloadBuilder::rectangleList({{10, 20, 30, 40}});
    Bytes payload =
        PayloadBuilder(PayloadMarker::ChecksumF, streamOf(60)).scrambledMaskBlock(list).build();
    const UnwrappedPayload result = unwrapFramePayload(payload, true);
    ASSERT_TRUE(result.accepted);
    EXPECT_EQ(result.streamLength, 60u);
    EXPECT_TRUE(result.carriedScrambledMaskBlock);
    ASSERT_TRUE(result.hasRectangles);
    EXPECT_EQ(Bytes(result.rectangles.bytes, result.rectangles.bytes + result.rectangles.size),
              list);

    Bytes unread =
        PayloadBuilder(PayloadMarker::ChecksumF, streamOf(60)).scrambledMaskBlock(list).build();
    const UnwrappedPayload skipped = unwrapFramePayload(unread, false);
    EXPECT_TRUE(skipped.carriedScrambledMaskBlock);
    EXPECT_FALSE(skipped.hasRectangles);
    EXPECT_EQ(skipped.streamLength, 60u);
}

struct BadBlockCase {
    const char* name;
    std::uint32_t textLength;
    std::uint32_t declaredListSize;  // 0: the real size
    std::uint32_t count;
    friend void PrintTo(const BadBlockCase& c, std::ostream* out) { *out << c.name; }
};

class BadScrambledBlock : public testing::TestWithParam<BadBlockCase> {};

// Blocks whose lengths point outside are still removed, but never read.
TEST_P(BadScrambledBlock, IsRemovedButNotRead) {
    const BadBlockCase& c = GetParam();
    Bytes list = PayloadBuilder::rectangleList({{1, 1, 2, 2}});
    platform::storeLe32(list.data() + 8, c.count);
    PayloadBuilder builder(PayloadMarker::NoChecksum, streamOf(60));
    builder.scrambledMaskBlock(list, c.textLength);
    Bytes payload = builder.build();
    if (c.declaredListSize != 0) {
        const std::size_t listSizeAt = 5 + 60 + 16 + 4 + c.textLength;
        platform::storeLe32(payload.data() + listSizeAt, c.declaredListSize);
    }
    const UnwrappedPayload result = unwrapFramePayload(payload, true);
    ASSERT_TRUE(result.accepted);
    EXPECT_FALSE(result.hasRectangles);
    EXPECT_EQ(result.streamLength, 60u);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, BadScrambledBlock,
    testing::Values(BadBlockCase{"CountBeyondList", 3, 0, 2},
                    BadBlockCase{"HugeCount", 3, 0, 0x40000000},
                    BadBlockCase{"ListBeyondPayload", 3, 5000, 1},
                    BadBlockCase{"ListOfStoreSize", 3, 10240, 1},
                    BadBlockCase{"ListTooShortForItsHead", 3, 16, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Unwrapping, BlockWordPointingOutsideIsNotABlock) {
    for (const std::uint32_t n : {0u, 15u, 70u, 71u, 0xFFFFFFF0u}) {
        Bytes payload = PayloadBuilder(PayloadMarker::NoChecksum, streamOf(60)).word(n).build();
        const UnwrappedPayload result = unwrapFramePayload(payload, true);
        ASSERT_TRUE(result.accepted) << n;
        EXPECT_EQ(result.streamLength, 64u) << n;
        EXPECT_FALSE(result.carriedScrambledMaskBlock) << n;
    }
}

TEST(Unwrapping, FlipTailBlockIsMirroredAndCut) {
    PayloadBuilder builder(PayloadMarker::None, streamOf(40));
    builder.plainMaskBlock(PayloadBuilder::rectangleList({{0, 0, 10, 10}}), false);
    Bytes payload = builder.word(builder.lastBlockSize()).padding().flipTail().build();
    const UnwrappedPayload result = unwrapFramePayload(payload, true);
    ASSERT_TRUE(result.accepted);
    EXPECT_TRUE(result.switchesVerticalFlip);
    EXPECT_EQ(result.streamLength, 40u);
    ASSERT_TRUE(result.hasRectangles);
    EXPECT_TRUE(result.rectangles.mirrored);
}

TEST(Unwrapping, SecondChainHeadAnnouncesAPlainMaskBlock) {
    PayloadBuilder builder(PayloadMarker::None, streamOf(40));
    builder.closingWord(false).plainMaskBlock(PayloadBuilder::rectangleList({{1, 2, 3, 4}}));
    Bytes payload = builder.padding().chainHead().chainBlock(kBoundedChain, 8, 20).chainHead().build();
    const UnwrappedPayload result = unwrapFramePayload(payload, true);
    ASSERT_TRUE(result.accepted);
    ASSERT_TRUE(result.hasRectangles);
    EXPECT_FALSE(result.rectangles.mirrored);
    // The plain block is read but stays; the closing word is then whatever ends it.
    EXPECT_GT(result.streamLength, 40u);
}

}  // namespace
}  // namespace ambro::media
