#include <gtest/gtest.h>

#include "media/FrameDecoder.h"
#include "playback/PictureDecoder.h"
#include "tests/playback/PlaybackTestSupport.h"

namespace ambro::playback {
namespace {

// Decodes the payloads in turn until one gives a picture.
bool decodeFirst(PictureDecoder& decoder, const std::vector<test::Bytes>& payloads,
                 PictureSlot::Picture& picture) {
    for (auto payload : payloads) {
        const std::size_t length = payload.size();
        payload.resize(length + media::FrameDecoder::kInputPadding);
        if (decoder.decode(payload.data(), length, picture)) return true;
    }
    return false;
}

TEST(PictureDecoder, IsSetUpAgainForEveryNewSizeAnOpenReplyAnnounces) {
    PictureDecoder decoder;
    EXPECT_EQ(decoder.layout().width, 320);
    EXPECT_EQ(decoder.layout().height, 240);

    decoder.announce(352, 288);
    EXPECT_EQ(decoder.layout().width, 352);
    PictureSlot::Picture picture;
    ASSERT_TRUE(decodeFirst(decoder, test::fixturePayloads("mpeg4/libxvid_352x288_bf0.m4v"), picture));
    EXPECT_EQ(picture.width, 352);
    EXPECT_EQ(picture.height, 288);
    EXPECT_EQ(picture.pixels.size(), 352u * 288 * 3);

    decoder.announce(360, 240);
    EXPECT_EQ(decoder.layout().width, 352);
    EXPECT_EQ(decoder.layout().announcedWidth, 360u);
    // A size no server sends leaves the decoder as it is.
    decoder.announce(70000, 3);
    EXPECT_EQ(decoder.layout().announcedWidth, 360u);
}

TEST(PictureDecoder, APictureLargerThanTheAnnouncedSizeIsNotWrittenPastTheBitmap) {
    PictureDecoder decoder;
    decoder.announce(176, 144);
    PictureSlot::Picture picture;
    // The stream's pictures are 352 x 288; the decoder refuses to fit them.
    EXPECT_FALSE(decodeFirst(decoder, test::fixturePayloads("mpeg4/libxvid_352x288_bf0.m4v"), picture));
    EXPECT_EQ(picture.pixels.size(), 176u * 144 * 3);
}

}  // namespace
}  // namespace ambro::playback
