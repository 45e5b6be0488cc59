#include <gtest/gtest.h>

#include <limits>

#include "live/CameraStatusPage.h"
#include "live/ConnectingText.h"

namespace ambro::live {
namespace {

TEST(CameraStatusPage, TitleThenSixteenLinesOfTwoCameras) {
    CameraStatusTable status{};
    status[0] = 0;
    status[1] = 1;
    status[30] = 3;
    status[31] = 4;
    const auto page = cameraStatusPage(status, 241, 320);
    ASSERT_EQ(page.size(), 33u);
    // Line height 320 / 20 = 16; the second column starts at 241 / 2.
    EXPECT_EQ(page[0], (PageText{"Camera Status", {0, 0, 241, 16}, true}));
    EXPECT_EQ(page[1], (PageText{"01 Normal    ", {0, 16, 120, 16}, false}));
    EXPECT_EQ(page[2], (PageText{"02 Inactive  ", {120, 16, 121, 16}, false}));
    EXPECT_EQ(page[31], (PageText{"31 Recording ", {0, 256, 120, 16}, false}));
    EXPECT_EQ(page[32], (PageText{"32 Connection Lost", {120, 256, 121, 16}, false}));
}

TEST(CameraStatusPage, StatusTexts) {
    struct Case {
        int camera;
        std::uint8_t status;
        const char* text;
    };
    for (const Case& c : {Case{1, 0, "01 Normal    "}, Case{9, 1, "09 Inactive  "},
                          Case{10, 2, "10 Lost      "}, Case{17, 3, "17 Recording "},
                          Case{32, 4, "32 Connection Lost"}, Case{5, 5, "05 Unknown   "},
                          Case{6, 255, "06 Unknown   "}}) {
        EXPECT_EQ(cameraStatusLine(c.camera, c.status), c.text);
    }
}

TEST(ConnectingText, DotsGrowToNineThenStartAgain) {
    struct Case {
        std::uint32_t counter;
        const char* text;
    };
    for (const Case& c :
         {Case{0, "Connecting               "}, Case{3, "Connecting...            "},
          Case{9, "Connecting.........      "}, Case{10, "Connecting               "},
          Case{std::numeric_limits<std::uint32_t>::max(), "Connecting.....          "}}) {
        EXPECT_EQ(connectingText(c.counter), c.text) << c.counter;
        EXPECT_EQ(connectingText(c.counter).size(), 25u);
    }
}

}  // namespace
}  // namespace ambro::live
