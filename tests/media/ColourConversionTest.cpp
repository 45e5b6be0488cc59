#include <gtest/gtest.h>

#include <random>
#include <string>

#include "media/ColourConversion.h"
#include "tests/support/CodePathScope.h"
#include "tests/support/XvidReference.h"

namespace ambro::media {
namespace {

using test::Bytes;

constexpr std::uint8_t kFiller = 0xA7;

int bytesPerPixel(PackedFormat format) { return format == PackedFormat::Rgb555 ? 2 : 3; }

// Ours and the library's conversion of the same picture into buffers of the
// same filler, so that bytes left alone must match too.
void expectSameAsLibrary(test::Yv12Picture& picture, PackedFormat format, std::size_t stride,
                         bool flip) {
    const std::size_t size = stride * static_cast<std::size_t>(picture.height);
    Bytes reference(size, kFiller);
    test::libraryConvert(picture, format, reference.data(), stride, flip);
    for (const bool plain : {false, true}) {
        test::CodePathScope path(plain);
        Bytes ours(size, kFiller);
        convertToPacked(picture.planar(), format, ours.data(), stride, flip);
        ASSERT_EQ(ours, reference) << (plain ? "plain" : "AVX2") << " path";
    }
}

// Every (Y, U, V) triple once in `columns` columns from `first` on: each
// chroma sample covers 2 x 2 pixels, and 64 samples in a row carry the same
// (U, V) with the luma values 0..255 over their 256 pixels.
test::Yv12Picture everyTriple(int width, int first, int columns) {
    constexpr std::size_t kSamples = 256 * 256 * 64;
    const std::size_t samplesPerRow = static_cast<std::size_t>(columns) / 2;
    const int height = static_cast<int>(2 * ((kSamples + samplesPerRow - 1) / samplesPerRow));
    test::Yv12Picture picture = test::makeYv12(width, height);
    const std::size_t chromaStride = static_cast<std::size_t>(width) / 2;
    for (std::size_t sample = 0; sample < kSamples; ++sample) {
        const std::size_t row = sample / samplesPerRow;
        const std::size_t column = static_cast<std::size_t>(first) / 2 + sample % samplesPerRow;
        const std::size_t pair = sample >> 6;
        picture.blueDifference()[row * chromaStride + column] = static_cast<std::uint8_t>(pair);
        picture.redDifference()[row * chromaStride + column] = static_cast<std::uint8_t>(pair >> 8);
        const int luma = 4 * static_cast<int>(sample & 63);
        for (int dy = 0; dy < 2; ++dy) {
            for (int dx = 0; dx < 2; ++dx) {
                picture.luma()[(2 * row + dy) * static_cast<std::size_t>(width) + 2 * column + dx] =
                    static_cast<std::uint8_t>(luma + 2 * dy + dx);
            }
        }
    }
    return picture;
}

struct ExhaustiveCase {
    const char* name;
    PackedFormat format;
    int width;  // of the picture
    int first;  // the columns that carry the triples
    int columns;
};

class EveryInput : public testing::TestWithParam<ExhaustiveCase> {};

// The library's vectorised columns, its plain columns and its 5-5-5 output
// each see all 2^24 inputs; flipped and upright.
TEST_P(EveryInput, GivesTheLibrarysBytes) {
    const ExhaustiveCase& c = GetParam();
    test::Yv12Picture picture = everyTriple(c.width, c.first, c.columns);
    const std::size_t stride = static_cast<std::size_t>(c.width) * bytesPerPixel(c.format);
    for (const bool flip : {false, true}) {
        SCOPED_TRACE(flip ? "flipped" : "upright");
        expectSameAsLibrary(picture, c.format, stride, flip);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Triples, EveryInput,
    testing::Values(
        // 4128 columns: all but the last two are the library's 6-bit ones.
        ExhaustiveCase{"Bgr24VectorColumns", PackedFormat::Bgr24, 4128, 0, 4096},
        // 30 columns: one group of 16, then 14 of 13-bit ones. (Narrower
        // pictures make the library's vectorised code read out of bounds.)
        ExhaustiveCase{"Bgr24PlainColumns", PackedFormat::Bgr24, 30, 16, 14},
        ExhaustiveCase{"Rgb555", PackedFormat::Rgb555, 4096, 0, 4096}),
    [](const auto& info) { return std::string(info.param.name); });

test::Yv12Picture randomPicture(int width, int height, std::mt19937& random) {
    test::Yv12Picture picture = test::makeYv12(width, height);
    for (auto& byte : picture.bytes) byte = static_cast<std::uint8_t>(random());
    return picture;
}

// Every width and height parity, rows with and without room for a last
// group of 16, and the wider rows of a picture smaller than the session's.
TEST(ColourConversion, EveryShapeGivesTheLibrarysBytes) {
    struct Shape {
        int width;
        int strideWidth;  // the output rows hold this many pixels
    };
    std::mt19937 random(17);
    std::vector<Shape> shapes;
    for (int width = 16; width <= 72; ++width) shapes.push_back({width, width});
    for (const int width : {16, 32, 48, 176, 352}) shapes.push_back({width, 352});
    for (const PackedFormat format : {PackedFormat::Bgr24, PackedFormat::Rgb555}) {
        for (const Shape& shape : shapes) {
            for (int height = 2; height <= 7; ++height) {
                test::Yv12Picture picture = randomPicture(shape.width, height, random);
                const std::size_t stride =
                    static_cast<std::size_t>(shape.strideWidth) * bytesPerPixel(format);
                for (const bool flip : {false, true}) {
                    SCOPED_TRACE(std::to_string(shape.width) + "x" + std::to_string(height) +
                                 " in rows of " + std::to_string(shape.strideWidth) +
                                 (format == PackedFormat::Rgb555 ? " RGB555" : " BGR24") +
                                 (flip ? " flipped" : ""));
                    expectSameAsLibrary(picture, format, stride, flip);
                }
            }
        }
    }
}

// Below 16 columns the library's vectorised code writes past the last
// column, into bytes that are not the picture's. Here only the picture's
// pixels are written, with the library's values.
TEST(ColourConversion, NarrowPicturesStayInsideTheirColumns) {
    std::mt19937 random(23);
    for (const PackedFormat format : {PackedFormat::Bgr24, PackedFormat::Rgb555}) {
        const int pixelBytes = bytesPerPixel(format);
        for (int width = 1; width < 16; ++width) {
            for (int height = 1; height <= 5; ++height) {
                SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
                test::Yv12Picture picture = randomPicture(width, height, random);
                const std::size_t stride = static_cast<std::size_t>(width) * pixelBytes;
                Bytes reference(stride * height + 256, kFiller);
                if (width > 1 && height > 1) {
                    test::libraryConvert(picture, format, reference.data(), stride, false);
                }
                for (const bool plain : {false, true}) {
                    test::CodePathScope path(plain);
                    Bytes ours(reference.size(), kFiller);
                    convertToPacked(picture.planar(), format, ours.data(), stride, false);
                    const bool written = width > 1 && height > 1;
                    const std::size_t writtenColumns = written ? (width & ~1) * pixelBytes : 0;
                    const int writtenRows = written ? (height & ~1) : 0;
                    for (std::size_t i = 0; i < ours.size(); ++i) {
                        const std::size_t row = i / stride;
                        const bool inside =
                            row < static_cast<std::size_t>(writtenRows) && i % stride < writtenColumns;
                        ASSERT_EQ(ours[i], inside ? reference[i] : kFiller) << "byte " << i;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace ambro::media
