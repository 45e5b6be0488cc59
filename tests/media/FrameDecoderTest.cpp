#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "media/FrameDecoder.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/BitInsertion.h"
#include "tests/support/CodePathScope.h"
#include "tests/support/DecoderHarness.h"
#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/PayloadBuilder.h"
#include "tests/support/XvidReference.h"

namespace ambro::media {
namespace {

using test::Bytes;
using test::PayloadBuilder;
using test::PayloadMarker;

using test::DecoderHarness;

Bytes wrapped(const Bytes& stream, PayloadMarker marker) {
    PayloadBuilder builder(marker, stream);
    if (marker == PayloadMarker::None) builder.closingWord(false);
    return builder.build();
}

std::vector<test::CodedPicture> picturesOf(const std::string& name) {
    return test::splitIntoPictures(test::readFile(test::fixturePath("mpeg4/" + name)));
}

// Decodes every picture of a stream; returns the pictures produced, in order.
std::vector<Bytes> decodeAll(DecoderHarness& harness, const std::vector<test::CodedPicture>& coded,
                             PayloadMarker marker = PayloadMarker::None) {
    std::vector<Bytes> produced;
    for (const auto& picture : coded) {
        EXPECT_EQ(harness.decode(wrapped(picture.bytes, marker)), 0);
        if (harness.decoder().pictureProduced()) produced.push_back(harness.picture());
    }
    return produced;
}

TEST(FrameDecoderQuery, AcceptsOnlyItsFormats) {
    struct Case {
        int width, height, bits;
        std::uint32_t compression;
        int result;
    };
    FrameDecoder decoder;
    for (const Case& c : {Case{352, 240, 24, kW264, 0}, Case{640, 480, 24, kW264, 0},
                          Case{640, -480, 24, kW264, 0}, Case{640, 240, 24, kW264, -2},
                          Case{352, 240, 16, kW264, -2}}) {
        PictureFormat input;
        input.compression = kW264;
        PictureFormat output;
        output.width = c.width;
        output.height = c.height;
        output.bitsPerPixel = static_cast<std::uint16_t>(c.bits);
        EXPECT_EQ(decoder.decompressQuery(&input, &output), c.result) << c.width << "x" << c.height;
    }
    PictureFormat input;
    EXPECT_EQ(decoder.decompressQuery(&input, nullptr), -2);  // not W264
    input.compression = kW264;
    EXPECT_EQ(decoder.decompressQuery(&input, nullptr), 0);
    input.bitsPerPixel = 32;
    EXPECT_EQ(decoder.decompressQuery(&input, nullptr), -2);
}

struct StreamCase {
    std::string file;
    int width;
    int height;
};

std::vector<StreamCase> allFixtureStreams() {
    std::vector<StreamCase> cases;
    for (const char* size : {"352x240", "352x288", "176x144", "176x112", "160x120", "320x240"}) {
        int width = 0;
        int height = 0;
        std::sscanf(size, "%dx%d", &width, &height);
        for (const char* encoder : {"mpeg4", "libxvid"}) {
            for (const char* bframes : {"bf0", "bf2"}) {
                cases.push_back({std::string(encoder) + "_" + size + "_" + bframes + ".m4v",
                                 width, height});
            }
        }
    }
    return cases;
}

class AgainstReference : public testing::TestWithParam<StreamCase> {};

// Every produced picture is a reference picture (I or P) in coding order; it
// is compared with ffmpeg's decode of the same picture in display order.
TEST_P(AgainstReference, PicturesMatchFfmpegsDecode) {
    const StreamCase& c = GetParam();
    const auto coded = picturesOf(c.file);
    const auto reference = test::ffmpegDecode(test::fixturePath("mpeg4/" + c.file), c.width,
                                              c.height);
    std::vector<std::size_t> displayIndexOfReference;
    for (std::size_t i = 0; i < coded.size(); ++i) {
        if (coded[i].type == VopCodingType::B) continue;
        std::size_t followingB = 0;
        while (i + 1 + followingB < coded.size() && coded[i + 1 + followingB].type == VopCodingType::B) {
            ++followingB;
        }
        displayIndexOfReference.push_back(i + followingB);
    }

    DecoderHarness harness(c.width, c.height);
    // The container kinds take turns; none of them may change the picture.
    std::vector<Bytes> produced;
    const PayloadMarker markers[] = {PayloadMarker::None, PayloadMarker::NoChecksum,
                                     PayloadMarker::ChecksumA, PayloadMarker::ChecksumF};
    for (std::size_t i = 0; i < coded.size(); ++i) {
        const Bytes before = harness.picture();
        // An unmarked payload needs 13 bytes; tiny pictures go in a marked one.
        PayloadMarker marker = markers[i % 4];
        if (marker == PayloadMarker::None && coded[i].bytes.size() < 9) marker = PayloadMarker::NoChecksum;
        ASSERT_EQ(harness.decode(wrapped(coded[i].bytes, marker)), 0);
        if (harness.decoder().pictureProduced()) {
            produced.push_back(harness.picture());
        } else {
            EXPECT_EQ(harness.picture(), before) << "picture " << i << " changed the output";
        }
        if (coded[i].type == VopCodingType::B) {
            EXPECT_FALSE(harness.decoder().pictureProduced());
        }
    }
    // Without B-frames every picture comes out (at most one held back by the
    // library's output delay); streams with B-frames end in a not-coded VOP
    // that the library does not turn into a picture.
    ASSERT_FALSE(produced.empty());
    if (displayIndexOfReference.size() == coded.size()) {
        EXPECT_GE(produced.size() + 1, displayIndexOfReference.size());
    }
    double lowest = 1e9;
    for (std::size_t k = 0; k < produced.size(); ++k) {
        const double value = test::psnr(produced[k], reference.at(displayIndexOfReference[k]));
        lowest = std::min(lowest, value);
    }
    RecordProperty("lowest_psnr_db", std::to_string(lowest));
    std::printf("%s: %zu pictures, lowest PSNR %.2f dB\n", c.file.c_str(), produced.size(),
                lowest);
    EXPECT_GT(lowest, 38.0);
    EXPECT_TRUE(harness.guardIntact());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, AgainstReference, testing::ValuesIn(allFixtureStreams()),
                         [](const auto& info) {
                             std::string name = info.param.file.substr(0, info.param.file.size() - 4);
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return name;
                         });

class LibraryOutput : public testing::TestWithParam<StreamCase> {};

// The frame decoder asks the library for planar pictures and converts them
// itself (interlaced ones excepted); the result must be the very bytes the
// library writes when asked for packed pixels, in both output kinds and
// orientations, on both code paths.
TEST_P(LibraryOutput, PicturesAreTheLibrarysOwnBytes) {
    const StreamCase& c = GetParam();
    const auto coded = picturesOf(c.file);
    std::vector<Bytes> streams;
    for (const auto& picture : coded) streams.push_back(picture.bytes);
    for (const PackedFormat format : {PackedFormat::Bgr24, PackedFormat::Rgb555}) {
        for (const bool flip : {false, true}) {
            const auto expected = test::libraryDecode(streams, c.width, c.height, format, flip);
            ASSERT_FALSE(expected.empty());
            for (const bool plain : {false, true}) {
                SCOPED_TRACE(std::string(format == PackedFormat::Rgb555 ? "RGB555" : "BGR24") +
                             (flip ? " flipped" : "") + (plain ? " plain" : ""));
                test::CodePathScope path(plain);
                DecoderHarness harness(c.width, c.height,
                                       format == PackedFormat::Rgb555 ? kOutputRgb555 : kOutputBgr24);
                std::vector<Bytes> produced;
                for (std::size_t i = 0; i < coded.size(); ++i) {
                    PayloadBuilder builder(PayloadMarker::None, coded[i].bytes);
                    // A flip tail on the first payload turns flip on for good.
                    const Bytes payload = flip && i == 0 ? builder.word(0).flipTail().build()
                                                         : builder.closingWord(false).build();
                    ASSERT_EQ(harness.decode(payload), 0);
                    if (harness.decoder().pictureProduced()) produced.push_back(harness.picture());
                }
                ASSERT_EQ(produced.size(), expected.size());
                for (std::size_t k = 0; k < produced.size(); ++k) {
                    ASSERT_TRUE(produced[k] == expected[k]) << "picture " << k;
                }
                EXPECT_TRUE(harness.guardIntact());
            }
        }
    }
}

std::vector<StreamCase> libraryOutputStreams() {
    std::vector<StreamCase> cases;
    for (const StreamCase& c : allFixtureStreams()) {
        if (c.file.find("_bf0") != std::string::npos) cases.push_back(c);
    }
    cases.push_back({"mpeg4_176x144_interlaced.m4v", 176, 144});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, LibraryOutput, testing::ValuesIn(libraryOutputStreams()),
                         [](const auto& info) {
                             std::string name = info.param.file.substr(0, info.param.file.size() - 4);
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return name;
                         });

TEST(FrameDecoder, ExtendedHeaderStreamsGiveTheSamePictures) {
    const Bytes original = test::readFile(test::fixturePath("mpeg4/libxvid_352x288_bf0.m4v"));
    DecoderHarness plain(352, 288);
    const auto expected = decodeAll(plain, test::splitIntoPictures(original));

    const auto extended = test::splitIntoPictures(test::withExtendedHeaders(original));
    DecoderHarness marked(352, 288);
    EXPECT_EQ(decodeAll(marked, extended, PayloadMarker::ExtendedHeader), expected);

    // An unmarked payload whose closing word is its checksum switches the mode
    // on too, from that payload on.
    DecoderHarness unmarked(352, 288);
    std::vector<Bytes> produced;
    for (const auto& picture : extended) {
        const Bytes payload =
            PayloadBuilder(PayloadMarker::None, picture.bytes).closingWord(&picture == &extended[0]).build();
        ASSERT_EQ(unmarked.decode(payload), 0);
        if (unmarked.decoder().pictureProduced()) produced.push_back(unmarked.picture());
    }
    EXPECT_TRUE(unmarked.decoder().extendedHeaderMode());
    EXPECT_EQ(produced, expected);
}

TEST(FrameDecoder, HeadersAloneProduceNoPicture) {
    const auto coded = picturesOf("mpeg4_176x144_bf0.m4v");
    const Bytes& first = coded[0].bytes;
    std::size_t vop = 0;
    while (auto start = findStartCode(first, vop)) {
        if (first[*start + 3] == kVopStartCode) {
            vop = *start;
            break;
        }
        vop = *start + 4;
    }
    DecoderHarness harness(176, 144);
    const Bytes before = harness.picture();
    EXPECT_EQ(harness.decode(wrapped(Bytes(first.begin(), first.begin() + vop), PayloadMarker::None)), 0);
    EXPECT_FALSE(harness.decoder().pictureProduced());
    EXPECT_EQ(harness.picture(), before);
}

TEST(FrameDecoder, RejectedPayloadLeavesThePicture) {
    DecoderHarness harness(176, 144);
    const Bytes before = harness.picture();
    Bytes payload = wrapped(picturesOf("mpeg4_176x144_bf0.m4v")[0].bytes, PayloadMarker::ChecksumF);
    payload.back() ^= 0xFF;
    EXPECT_EQ(harness.decode(payload), -1);
    EXPECT_EQ(harness.picture(), before);
    EXPECT_EQ(harness.decode(Bytes(12, 0x41)), -1);
}

TEST(FrameDecoder, InputLengthIsReducedToWhatRemains) {
    DecoderHarness harness(176, 144);
    const Bytes stream = picturesOf("mpeg4_176x144_bf0.m4v")[0].bytes;
    ASSERT_EQ(harness.decode(PayloadBuilder(PayloadMarker::ChecksumF, stream).padding().build()), 0);
    EXPECT_EQ(harness.inputFormat().imageSize, stream.size() + 5);
}

TEST(FrameDecoder, LargerVolThanThePictureIsNeverDecoded) {
    DecoderHarness harness(176, 144);
    const Bytes before = harness.picture();
    EXPECT_TRUE(decodeAll(harness, picturesOf("mpeg4_352x288_bf0.m4v")).empty());
    EXPECT_EQ(harness.picture(), before);
    EXPECT_TRUE(harness.guardIntact());
    // A stream of the right size that follows is decoded again.
    EXPECT_FALSE(decodeAll(harness, picturesOf("mpeg4_176x144_bf0.m4v")).empty());
    EXPECT_TRUE(harness.guardIntact());
}

// The library reallocates its pictures for every VOL header it reads, so a
// header announcing more than the session's picture must never reach it: a
// hostile server could otherwise make it allocate gigabytes. Such a header is
// passed over with everything up to the next one that fits.
TEST(FrameDecoder, OversizedVolNeverReachesTheLibrary) {
    struct Case {
        int width, height;
        bool fits;
    };
    constexpr int kWidth = 176;
    constexpr int kHeight = 144;
    const auto coded = picturesOf("mpeg4_176x144_bf0.m4v");
    for (const Case& c : {Case{kWidth, kHeight, true}, Case{kWidth + 1, kHeight, false},
                          Case{kWidth, kHeight + 1, false}, Case{8191, 8191, false}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        DecoderHarness harness(kWidth, kHeight);
        ASSERT_EQ(harness.decode(wrapped(coded[0].bytes, PayloadMarker::None)), 0);
        ASSERT_TRUE(harness.decoder().pictureProduced());
        const Bytes before = harness.picture();

        const Bytes payload =
            wrapped(test::withVolSize(coded[0].bytes, c.width, c.height), PayloadMarker::None);
        const std::size_t allocationsBefore = test::allocationCount();
        ASSERT_EQ(harness.decode(payload), 0);
        EXPECT_EQ(test::allocationCount() - allocationsBefore, 0u);
        EXPECT_EQ(harness.decoder().pictureProduced(), c.fits);
        if (!c.fits) {
            EXPECT_EQ(harness.picture(), before);
        }

        // The pictures of the next header that fits are decoded again.
        ASSERT_EQ(harness.decode(wrapped(coded[0].bytes, PayloadMarker::None)), 0);
        EXPECT_TRUE(harness.decoder().pictureProduced());
        EXPECT_TRUE(harness.guardIntact());
    }
}

TEST(FrameDecoder, HalfHeightPicturesAreDoubledTo480Lines) {
    const std::string file = "mpeg4_640x240_bf0.m4v";
    DecoderHarness harness(640, 240, kOutputBgr24);
    const auto produced = decodeAll(harness, picturesOf(file));
    ASSERT_FALSE(produced.empty());
    EXPECT_TRUE(harness.guardIntact());
    const auto reference = test::ffmpegDecode(test::fixturePath("mpeg4/" + file), 640, 240);
    const std::size_t stride = 640 * 3;
    Bytes evenRows;
    for (int row = 0; row < 480; row += 2) {
        const auto* even = produced[0].data() + row * stride;
        EXPECT_EQ(std::memcmp(even, even + stride, stride), 0) << row;
        evenRows.insert(evenRows.end(), even, even + stride);
    }
    EXPECT_GT(test::psnr(evenRows, reference[0]), 38.0);
}

TEST(FrameDecoder, Rgb555OutputFitsTwoBytesAPixel) {
    DecoderHarness harness(176, 144, kOutputRgb555);
    Bytes payload = PayloadBuilder(PayloadMarker::None, picturesOf("mpeg4_176x144_bf0.m4v")[0].bytes)
                        .closingWord(false)
                        .build();
    ASSERT_EQ(harness.decode(payload), 0);
    EXPECT_TRUE(harness.decoder().pictureProduced());
    EXPECT_TRUE(harness.guardIntact());
}

TEST(FrameDecoder, FlipTailTurnsFlipOnForGood) {
    const auto coded = picturesOf("mpeg4_176x144_bf0.m4v");
    DecoderHarness upright(176, 144);
    const auto expected = decodeAll(upright, coded);
    ASSERT_GE(expected.size(), 2u);

    DecoderHarness flipped(176, 144);
    ASSERT_EQ(flipped.decode(PayloadBuilder(PayloadMarker::None, coded[0].bytes).word(0).flipTail().build()), 0);
    EXPECT_EQ(flipped.picture(), test::flippedRows(expected[0], 176, 144));
    ASSERT_EQ(flipped.decode(wrapped(coded[1].bytes, PayloadMarker::None)), 0);
    EXPECT_TRUE(flipped.decoder().verticalFlip());
    EXPECT_EQ(flipped.picture(), test::flippedRows(expected[1], 176, 144));
}

struct MaskCase {
    const char* name;
    int width;
    int height;
    MaskRect grid;      // on the 360 x 240 reference grid
    MaskRect expected;  // in picture rows and columns
    friend void PrintTo(const MaskCase& c, std::ostream* out) { *out << c.name; }
};

class MaskScaling : public testing::TestWithParam<MaskCase> {};

TEST_P(MaskScaling, ScalesClipsAndFillsBlack) {
    const MaskCase& c = GetParam();
    const std::string file =
        "mpeg4_" + std::to_string(c.width) + "x" + std::to_string(c.height) + "_bf0.m4v";
    const Bytes stream = picturesOf(file)[0].bytes;
    DecoderHarness harness(c.width, c.height);
    const Bytes list = PayloadBuilder::rectangleList({c.grid});
    ASSERT_EQ(harness.decode(PayloadBuilder(PayloadMarker::ChecksumF, stream).scrambledMaskBlock(list).build()), 0);
    ASSERT_EQ(harness.decoder().masks().count, 1u);
    const MaskRect& got = harness.decoder().masks().rects[0];
    EXPECT_EQ(got.left, c.expected.left);
    EXPECT_EQ(got.top, c.expected.top);
    EXPECT_EQ(got.right, c.expected.right);
    EXPECT_EQ(got.bottom, c.expected.bottom);

    const Bytes picture = harness.picture();
    const std::size_t stride = static_cast<std::size_t>(c.width) * 3;
    for (int row = 0; row < c.height; ++row) {
        for (int column = 0; column < c.width; ++column) {
            const bool inside = row >= got.top && row < got.bottom && column >= got.left &&
                                column < got.right;
            const std::uint8_t* pixel = picture.data() + row * stride + column * 3;
            if (inside) {
                ASSERT_EQ(pixel[0] | pixel[1] | pixel[2], 0) << row << "," << column;
            }
        }
    }
    EXPECT_TRUE(harness.guardIntact());
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, MaskScaling,
    testing::Values(
        // 352 is not a PAL width: sy = 288 / 240.
        MaskCase{"Cif352x288", 352, 288, {100, 10, 200, 100}, {97, 12, 195, 120}},
        // 320 and 240 are both PAL sizes: sy = 240 / 288.
        MaskCase{"Pal320x240", 320, 240, {100, 10, 200, 100}, {88, 8, 177, 83}},
        MaskCase{"ClippedToThePicture", 176, 144, {-50, -50, 1000, 1000}, {0, 0, 176, 144}},
        // 176 x 144 is a PAL size too: sy = 0.5.
        MaskCase{"HugeCoordinates", 176, 144, {-2147483647, 5, 2147483647, 2147483647},
                 {0, 2, 176, 144}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameDecoderMasks, EmptyListRemovesTheMaskAndOnlyThreeScrambledBlocksAreRead) {
    const auto coded = picturesOf("mpeg4_176x144_bf0.m4v");
    DecoderHarness harness(176, 144);
    const auto withMask = [&](std::size_t picture, std::vector<MaskRect> rects) {
        return PayloadBuilder(PayloadMarker::ChecksumF, coded[picture].bytes)
            .scrambledMaskBlock(PayloadBuilder::rectangleList(rects))
            .build();
    };
    ASSERT_EQ(harness.decode(withMask(0, {{0, 0, 90, 60}})), 0);
    EXPECT_EQ(harness.decoder().masks().count, 1u);
    ASSERT_EQ(harness.decode(withMask(1, {})), 0);  // count 0: no mask any more
    EXPECT_EQ(harness.decoder().masks().count, 0u);
    ASSERT_EQ(harness.decode(withMask(2, {{0, 0, 36, 24}, {36, 24, 72, 48}})), 0);
    EXPECT_EQ(harness.decoder().masks().count, 2u);
    // The fourth block is removed from the stream but not read.
    ASSERT_EQ(harness.decode(withMask(3, {{0, 0, 360, 240}})), 0);
    EXPECT_EQ(harness.decoder().masks().count, 2u);
    EXPECT_TRUE(harness.decoder().pictureProduced());
}

TEST(FrameDecoderMasks, FlipTailListIsMirrored) {
    const auto coded = picturesOf("mpeg4_352x288_bf0.m4v");
    DecoderHarness harness(352, 288);
    PayloadBuilder builder(PayloadMarker::None, coded[0].bytes);
    builder.plainMaskBlock(PayloadBuilder::rectangleList({{100, 10, 200, 100}}), false);
    ASSERT_EQ(harness.decode(builder.word(builder.lastBlockSize()).flipTail().build()), 0);
    ASSERT_EQ(harness.decoder().masks().count, 1u);
    EXPECT_EQ(harness.decoder().masks().rects[0].top, 288 - 120);
    EXPECT_EQ(harness.decoder().masks().rects[0].bottom, 288 - 12);
    EXPECT_TRUE(harness.decoder().pictureProduced());
}

}  // namespace
}  // namespace ambro::media
