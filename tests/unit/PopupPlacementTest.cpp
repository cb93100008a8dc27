#include "app/PopupPlacement.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace quillstow::placement;

// A 1440 by 900 screen, and a second one to its right.
const QRect mainScreen(0, 0, 1440, 900);
const QRect rightScreen(1440, 100, 1920, 1080);
const QList<QRect> screens{mainScreen, rightScreen};

TEST(PopupPlacement, ScreenChoiceCountsLeftAndTopEdgesAsInside)
{
    EXPECT_EQ(screenIndexFor({1439, 899}, screens, 0), 0);
    EXPECT_EQ(screenIndexFor({1440, 500}, screens, 0), 1);
    // Outside both: the main screen.
    EXPECT_EQ(screenIndexFor({1440, 50}, screens, 0), 0);
    EXPECT_EQ(screenIndexFor({-5, -5}, screens, 1), 1);
    EXPECT_EQ(screenIndexFor({5, 5}, {}, 0), -1);
}

TEST(PopupPlacement, BelowTheCaretOrAboveItNeverOverTheField)
{
    // The anchor is the caret, or the pointer as an empty rectangle.
    for (const auto& [name, anchor, origin] : {
             std::tuple<const char*, QRect, QPoint>{
                 "room below and right", {100, 182, 2, 18}, {100, 200}},
             {"near the bottom: above the caret", {100, 700, 2, 18}, {100, 180}},
             {"the pointer near the bottom: above it", {100, 600, 0, 0}, {100, 80}},
             {"no room above either: pushed up", {100, 400, 2, 18}, {100, 380}},
             {"near the right edge: pushed left", {1400, 82, 2, 18}, {960, 100}},
             {"on the second screen, low: above", {3000, 1100, 2, 18}, {2880, 580}},
         })
        EXPECT_EQ(nearAnchor(anchor, popupSize, screens, 0), origin) << name;
}

TEST(PopupPlacement, UnderTheTrayIcon)
{
    for (const auto& [name, icon, origin] : {
             std::tuple<const char*, QRect, QPoint>{
                 "top bar, centred under the icon", {1000, 0, 22, 25}, {771, 31}},
             {"near the left edge", {88, 0, 24, 24}, {8, 30}},
             {"near the right edge: kept on screen", {1410, 0, 24, 24}, {952, 30}},
             {"bottom panel: above the icon", {700, 876, 24, 24}, {472, 350}},
             {"icon on the second screen", {3300, 100, 24, 24}, {2872, 130}},
         })
        EXPECT_EQ(underTrayIcon(icon, popupSize, screens, 0), origin) << name;
}

TEST(PopupPlacement, ThePickerShrinksToTheScreensFreeAreaAndStaysWhole)
{
    EXPECT_EQ(fittedSize({1440, 870}), popupSize);
    EXPECT_EQ(fittedSize({}), popupSize); // no screen known
    // 900 device pixels at scale 2, less a 30 pixel panel.
    EXPECT_EQ(fittedSize({720, 435}), QSize(480, 435));
    EXPECT_EQ(fittedSize({400, 300}), QSize(400, 300));

    // Shrunk to fit, it is placed whole inside the screen, below or above the
    // anchor.
    const QList<QRect> low{QRect(0, 0, 720, 450)};
    const QSize fitted = fittedSize({720, 450});
    EXPECT_EQ(nearAnchor({100, 300, 2, 18}, fitted, low, 0), QPoint(100, 0));
    EXPECT_EQ(underTrayIcon({700, 426, 24, 24}, fitted, low, 0), QPoint(232, 0));
    // A screen smaller than the popup shows its top left.
    const QList<QRect> tiny{QRect(0, 0, 400, 300)};
    EXPECT_EQ(nearAnchor({350, 250, 0, 0}, popupSize, tiny, 0), QPoint(0, 0));
    EXPECT_EQ(underTrayIcon(QRect(380, 0, 20, 20), popupSize, tiny, 0), QPoint(8, 0));
}

TEST(PopupPlacement, CentredOnTheFocusedOutput)
{
    EXPECT_EQ(centredOn(rightScreen, popupSize), QPoint(2160, 380));
    EXPECT_EQ(centredOn(QRect(0, 0, 1280, 800), QSize(480, 435)), QPoint(400, 182));
}
