#include <gtest/gtest.h>

#include "live/PictureLayout.h"

namespace ambro::live {
namespace {

struct GeometryCase {
    const char* name;
    int pw, ph;
    int clientWidth, clientHeight, comboHeight;
    int rotation;
    bool fullScreen;
    PixelRect destination;
    friend void PrintTo(const GeometryCase& c, std::ostream* out) { *out << c.name; }
};

class Geometry : public testing::TestWithParam<GeometryCase> {};

TEST_P(Geometry, PlacesThePicture) {
    const GeometryCase& c = GetParam();
    PictureLayout layout;
    layout.setRotation(c.rotation);
    const DrawPlan plan = layout.plan({c.pw, c.ph, c.clientWidth, c.clientHeight, c.comboHeight,
                                       c.fullScreen, 640, 480});
    EXPECT_EQ(plan.destination, c.destination);
}

// The usable height is the client height less the bottom row: 320 - 20 = 300
// unless stated.
INSTANTIATE_TEST_SUITE_P(
    Table, Geometry,
    testing::Values(
        // 352 wide: 5-pixel margins, height by integer scaling.
        GeometryCase{"W352", 352, 288, 240, 320, 20, 0, false, {5, 56, 230, 188}},
        // 320 wide on a narrow screen: fitted by width.
        GeometryCase{"W320ByWidth", 320, 240, 240, 320, 20, 0, false, {5, 64, 230, 172}},
        // 320 wide on a wide screen: fitted by height, from 5 below the top.
        GeometryCase{"W320ByHeight", 320, 240, 640, 260, 20, 0, false, {160, 5, 320, 240}},
        // Equal ratios are not wider: fitted by height.
        GeometryCase{"W320EqualRatio", 320, 240, 240, 200, 20, 0, false, {0, 5, 240, 180}},
        // Other widths: natural size, centred.
        GeometryCase{"W176Centred", 176, 144, 240, 320, 20, 0, false, {32, 78, 176, 144}},
        GeometryCase{"W704Centred", 704, 480, 240, 320, 20, 0, false, {-232, -90, 704, 480}},
        // Rotated: nine tenths of the width or the height.
        GeometryCase{"RotatedByWidth", 144, 176, 240, 320, 20, 1, false, {5, 18, 216, 264}},
        GeometryCase{"RotatedByHeight", 240, 320, 240, 320, 20, 1, false, {19, 5, 202, 270}},
        GeometryCase{"Rotated352", 288, 352, 240, 320, 20, 1, false, {5, 18, 216, 264}},
        // Full screen: the whole client area, whatever the picture.
        GeometryCase{"FullScreen", 352, 288, 240, 320, 20, 0, true, {0, 0, 240, 320}},
        GeometryCase{"FullScreenRotated", 144, 176, 320, 240, 20, 1, true, {0, 0, 320, 240}},
        // Nothing to draw into.
        GeometryCase{"EmptyClient", 320, 240, 0, 20, 20, 0, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PictureLayout, FirstDrawDecidesRotationAndAsksPortraitScreensFor176x144) {
    struct Case {
        int screenWidth, screenHeight;
        bool small;
    };
    for (const Case& c : {Case{240, 320, true}, Case{480, 640, true}, Case{320, 240, false},
                          Case{200, 320, false}, Case{240, 300, false}, Case{320, 320, false}}) {
        PictureLayout layout;
        EXPECT_FALSE(layout.rotation());
        const DrawRequest request{320, 240, 240, 320, 20, false, c.screenWidth, c.screenHeight};
        EXPECT_EQ(layout.plan(request).requestSmallImageSize, c.small)
            << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(layout.rotation(), 0);
        EXPECT_FALSE(layout.plan(request).requestSmallImageSize);
    }
}

TEST(PictureLayout, ASizeChangeClearsTheBackgroundOnTheNextDraw) {
    PictureLayout layout;
    const auto draw = [&](int pw, int ph, bool fullScreen = false) {
        return layout.plan({pw, ph, 240, 320, 20, fullScreen, 240, 320});
    };
    EXPECT_FALSE(draw(176, 144).clearBackground);
    const DrawPlan second = draw(176, 144);
    EXPECT_TRUE(second.clearBackground);
    EXPECT_EQ(second.clearArea, (PixelRect{0, 0, 240, 300}));
    EXPECT_FALSE(draw(176, 144).clearBackground);
    EXPECT_FALSE(draw(320, 240).clearBackground);
    // Full screen covers everything; the clearing waits for the window.
    EXPECT_FALSE(draw(320, 240, true).clearBackground);
    EXPECT_TRUE(draw(320, 240).clearBackground);
    EXPECT_FALSE(draw(320, 240).clearBackground);
}

TEST(PictureLayout, RotationToggles) {
    PictureLayout layout;
    EXPECT_EQ(layout.toggleRotation(), 1);
    EXPECT_TRUE(layout.rotated());
    EXPECT_EQ(layout.toggleRotation(), 0);
    // Decided by the toggle, the first draw asks for no size.
    layout.toggleRotation();
    EXPECT_FALSE(layout.plan({144, 176, 240, 320, 20, false, 240, 320}).requestSmallImageSize);
}

TEST(PictureLayout, UpsideDownServerKinds) {
    struct Case {
        int kind, pw, ph;
        bool upsideDown;
    };
    for (const Case& c : {Case{519, 352, 288, true}, Case{520, 320, 240, true},
                          Case{505, 176, 144, true}, Case{505, 352, 288, false},
                          Case{506, 160, 112, true}, Case{506, 320, 240, false},
                          Case{506, 176, 120, true}, Case{62, 176, 144, false},
                          Case{51, 176, 112, false}, Case{0, 176, 144, false}}) {
        EXPECT_EQ(sourceUpsideDown(c.kind, c.pw, c.ph), c.upsideDown)
            << c.kind << " " << c.pw << "x" << c.ph;
    }
}

TEST(BottomRow, FiveEqualColumns) {
    const auto row = bottomRowLayout(243, 320, 22);
    EXPECT_EQ(row.label, (PixelRect{0, 298, 48, 22}));
    EXPECT_EQ(row.field, (PixelRect{48, 298, 48, 22}));
    EXPECT_EQ(row.cameraLabel, (PixelRect{96, 298, 48, 22}));
    // The camera selector takes the last two columns and what is left over.
    EXPECT_EQ(row.cameraList, (PixelRect{144, 298, 99, 22}));
}

TEST(StatusTexts, CentredInTheClientArea) {
    const auto lost = statusTextPlan(StatusMessage::VideoLost, 240, 320);
    EXPECT_EQ(lost.text, "Video Lost");
    EXPECT_TRUE(lost.clearFirst);
    EXPECT_EQ(lost.area, (PixelRect{0, 0, 240, 320}));
    const auto resolution = statusTextPlan(StatusMessage::SetupResolution, 240, 320);
    EXPECT_EQ(resolution.text, "Error!! Please Setup Resolution");
    EXPECT_FALSE(resolution.clearFirst);
}

}  // namespace
}  // namespace ambro::live
