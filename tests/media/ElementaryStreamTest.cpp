#include <gtest/gtest.h>

#include "media/ElementaryStream.h"
#include "tests/support/BitInsertion.h"
#include "tests/support/Mpeg4Fixtures.h"

namespace ambro::media {
namespace {

using test::Bytes;

struct VolCase {
    const char* file;
    int width;
    int height;
    friend void PrintTo(const VolCase& c, std::ostream* out) { *out << c.file; }
};

class VolParsing : public testing::TestWithParam<VolCase> {};

TEST_P(VolParsing, ReadsTheSizeOfBothEncodersAndRemovesInsertedBits) {
    const Bytes stream = test::readFile(test::fixturePath(std::string("mpeg4/") + GetParam().file));
    std::size_t from = 0;
    std::optional<VolHeader> vol;
    while (auto start = findStartCode(stream, from)) {
        if (isVolStartCode(stream[*start + 3])) {
            vol = parseVolHeader({stream.data() + *start, stream.size() - *start});
            break;
        }
        from = *start + 4;
    }
    ASSERT_TRUE(vol.has_value());
    EXPECT_TRUE(vol->rectangular);
    EXPECT_EQ(vol->width, GetParam().width);
    EXPECT_EQ(vol->height, GetParam().height);

    Bytes extended = test::withExtendedHeaders(stream);
    ASSERT_GT(extended.size(), stream.size());
    const std::size_t length = removeExtendedHeaderBits(extended.data(), extended.size());
    extended.resize(length);
    EXPECT_EQ(extended, stream);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, VolParsing,
                         testing::Values(VolCase{"mpeg4_352x288_bf0.m4v", 352, 288},
                                         VolCase{"libxvid_176x112_bf2.m4v", 176, 112},
                                         VolCase{"mpeg4_160x120_bf2.m4v", 160, 120},
                                         VolCase{"libxvid_320x240_bf0.m4v", 320, 240}));

TEST(VolParsing, TruncatedHeaderIsNotParsedAndNotRewritten) {
    Bytes stream = test::readFile(test::fixturePath("mpeg4/mpeg4_352x288_bf0.m4v"));
    std::size_t from = 0;
    while (auto start = findStartCode(stream, from)) {
        if (isVolStartCode(stream[*start + 3])) {
            Bytes cut(stream.begin() + *start, stream.begin() + *start + 8);
            EXPECT_FALSE(parseVolHeader(cut).has_value());
            EXPECT_EQ(removeExtendedHeaderBits(cut.data(), cut.size()), cut.size());
            return;
        }
        from = *start + 4;
    }
    FAIL() << "no VOL in the fixture";
}

TEST(StartCodes, FindAndClassify) {
    const Bytes stream = {0xFF, 0, 0, 1, 0xB6, 0x80, 0, 0, 1, 0x20, 0, 0, 1};
    EXPECT_EQ(findStartCode(stream, 0), 1u);
    EXPECT_EQ(vopCodingTypeAt(stream, 1), VopCodingType::B);
    EXPECT_EQ(findStartCode(stream, 2), 6u);
    EXPECT_FALSE(vopCodingTypeAt(stream, 6).has_value());
    EXPECT_FALSE(findStartCode(stream, 7).has_value());  // the last one has no code byte
}

}  // namespace
}  // namespace ambro::media
