// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/GlobalCoordinates.h"
#include "model/ScreenSource.h"
#include "platform/ScreenCatalog.h"

#include <gtest/gtest.h>

namespace {

// Qt geometries of a desktop with the main screen in the middle, a taller screen at its
// left whose top is higher, and a screen stacked below it.
const QRect mainScreen(1920, 0, 1920, 1080);
const QList<QRect> desktop{mainScreen, QRect(0, -360, 1920, 1440), QRect(1920, 1080, 1280, 800)};

} // namespace

TEST(GlobalCoordinates, MainScreenIsAtTheOriginWithYUpwards)
{
    const GlobalCoordinates coordinates(mainScreen);
    EXPECT_EQ(coordinates.rectToGlobal(mainScreen), QRectF(0, 0, 1920, 1080));
    // A rail below a 25-point bar at the top and against the right edge.
    EXPECT_EQ(coordinates.rectToGlobal(QRectF(3300, 25, 540, 1055)), QRectF(1380, 0, 540, 1055));
    // The screen at the left is 1920 wide and reaches 360 higher than the main screen.
    EXPECT_EQ(coordinates.rectToGlobal(desktop.at(1)), QRectF(-1920, 0, 1920, 1440))
        << "its bottom is level with the main screen's";
    // The screen below has negative y.
    EXPECT_EQ(coordinates.rectToGlobal(desktop.at(2)), QRectF(0, -800, 1280, 800));
}

TEST(GlobalCoordinates, ConversionsRoundTrip)
{
    const GlobalCoordinates coordinates(QRect(100, 50, 1440, 900));
    for (const QRectF &rect :
         {QRectF(0, 0, 10, 10), QRectF(-20.5, 300.25, 540, 1055.5), QRectF(2000, -700, 1, 1)}) {
        EXPECT_EQ(coordinates.rectFromGlobal(coordinates.rectToGlobal(rect)), rect);
        EXPECT_EQ(coordinates.rectToGlobal(coordinates.rectFromGlobal(rect)), rect);
    }
    for (const QPointF &point : {QPointF(0, 0), QPointF(-5.5, 1000.25), QPointF(1439, 899)}) {
        EXPECT_EQ(coordinates.pointFromGlobal(coordinates.pointToGlobal(point)), point);
        EXPECT_EQ(coordinates.pointToGlobal(coordinates.pointFromGlobal(point)), point);
    }
}

TEST(GlobalCoordinates, EveryEdgePixelOfAScreenFallsInThatScreenOnly)
{
    const GlobalCoordinates coordinates(mainScreen);
    QList<QRectF> frames;
    for (const QRect &screen : desktop)
        frames.append(coordinates.rectToGlobal(screen));

    for (qsizetype i = 0; i < desktop.size(); ++i) {
        const QRect screen = desktop.at(i);
        // QRect's right() and bottom() are the last pixel column and row.
        for (const QPoint pixel : {screen.topLeft(), screen.topRight(), screen.bottomLeft(),
                                   screen.bottomRight(), screen.center()}) {
            const QPointF location = coordinates.pointToGlobal(pixel);
            for (qsizetype j = 0; j < frames.size(); ++j) {
                EXPECT_EQ(frameContains(frames.at(j), location), i == j)
                    << "pixel " << pixel.x() << "," << pixel.y() << " of screen " << i
                    << " against screen " << j;
            }
        }
    }
}

TEST(GlobalCoordinates, PointerInAPanelMapsToTheSamePixelOfTheWindow)
{
    // The panel's global frame and a pointer location both come from Qt; going back to
    // Qt coordinates must land on the same pixel, the panel's first row included.
    const GlobalCoordinates coordinates(mainScreen);
    const QRect panel(3300, 25, 540, 1055);
    const QRectF panelFrame = coordinates.rectToGlobal(panel);
    for (const QPoint pixel : {panel.topLeft(), panel.bottomRight()}) {
        const QPointF location = coordinates.pointToGlobal(pixel);
        EXPECT_TRUE(frameContains(panelFrame, location));
        EXPECT_EQ(coordinates.pointFromGlobal(location), QPointF(pixel));
    }
}

TEST(GlobalCoordinates, WithoutAMainScreenOnlyYFlips)
{
    const GlobalCoordinates none;
    EXPECT_EQ(none.rectToGlobal(QRectF(10, 20, 30, 40)), QRectF(10, -60, 30, 40));
    EXPECT_EQ(none.pointToGlobal(QPointF(10, 20)), QPointF(10, -21));
    EXPECT_EQ(GlobalCoordinates(QRect()), GlobalCoordinates(QRect(0, 0, 0, 0)));
}

TEST(ScreenCatalog, DescribesScreensInGlobalCoordinates)
{
    const QList<ScreenFacts> facts{
        {QStringLiteral("DP-1"), QStringLiteral("DELL U2719D"), mainScreen,
         mainScreen.adjusted(0, 30, 0, 0)},
        {QStringLiteral("HDMI-1"), QString(), desktop.at(1), desktop.at(1)},
    };
    const QList<ScreenInfo> screens = ScreenCatalog::describe(facts, GlobalCoordinates(mainScreen));
    ASSERT_EQ(screens.size(), 2);
    EXPECT_EQ(screens.at(0).frame, QRectF(0, 0, 1920, 1080));
    EXPECT_EQ(screens.at(0).visibleFrame, QRectF(0, 0, 1920, 1050)) << "the bar is at the top";
    EXPECT_EQ(screens.at(0).localizedName, QStringLiteral("DELL U2719D"));
    EXPECT_EQ(screens.at(1).localizedName, QStringLiteral("HDMI-1")) << "no model: the output";
    EXPECT_EQ(screens.at(0).displayNumber, ScreenCatalog::displayNumber(QStringLiteral("DP-1")));
    EXPECT_NE(screens.at(0).displayNumber, screens.at(1).displayNumber);
}

TEST(ScreenCatalog, DisplayNumbersAreStableHashesOfTheOutputName)
{
    // FNV-1a test vectors.
    EXPECT_EQ(ScreenCatalog::displayNumber(QStringLiteral("a")), 0xe40c292cu);
    EXPECT_EQ(ScreenCatalog::displayNumber(QStringLiteral("foobar")), 0xbf9cf968u);
    EXPECT_EQ(ScreenCatalog::displayNumber(QString()), std::nullopt);
    EXPECT_NE(ScreenCatalog::displayNumber(QStringLiteral("HDMI-1")),
              ScreenCatalog::displayNumber(QStringLiteral("HDMI-2")));
}

TEST(ScreenCatalog, SharedNamesAreTellApartByTheirOutput)
{
    const QList<ScreenFacts> facts{
        {QStringLiteral("DP-1"), QStringLiteral("LG 27UL500"), {}, {}},
        {QStringLiteral("DP-2"), QStringLiteral("LG 27UL500"), {}, {}},
        {QString(), QString(), {}, {}},
        {QStringLiteral("eDP-1"), QStringLiteral("  "), {}, {}},
    };
    EXPECT_EQ(
        ScreenCatalog::localizedNames(facts),
        (QList<QString>{QStringLiteral("LG 27UL500 (DP-1)"), QStringLiteral("LG 27UL500 (DP-2)"),
                        QStringLiteral("Pantalla 3"), QStringLiteral("eDP-1")}));
}
