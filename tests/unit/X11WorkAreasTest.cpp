// SPDX-License-Identifier: GPL-3.0-or-later
// The usable area of each monitor from what the desktop publishes: per-monitor lists and
// the struts of docks and panels (device pixels of the root window).

#include "platform/X11WorkAreas.h"

#include <gtest/gtest.h>

namespace {

// Two monitors side by side, 1600 × 1000 each, on a root window of 3200 × 1000.
const QRect leftMonitor(0, 0, 1600, 1000);
const QRect rightMonitor(1600, 0, 1600, 1000);
const QSize root(3200, 1000);

X11WorkAreas::Strut topPanel(int height, int fromX, int toX)
{
    X11WorkAreas::Strut strut;
    strut.top = height;
    strut.topStartX = fromX;
    strut.topEndX = toX;
    return strut;
}

} // namespace

TEST(X11WorkAreas, APanelOnOneMonitorShrinksThatMonitorOnly)
{
    const QList<X11WorkAreas::Strut> struts{topPanel(40, 1600, 3199)};
    EXPECT_EQ(X11WorkAreas::subtractStruts(rightMonitor, struts, root), QRect(1600, 40, 1600, 960));
    EXPECT_EQ(X11WorkAreas::subtractStruts(leftMonitor, struts, root), leftMonitor);
}

TEST(X11WorkAreas, StrutsAtTheRootsEdgesReachOnlyTheMonitorsAtThoseEdges)
{
    X11WorkAreas::Strut dock; // a 70 px dock at the left of the left monitor
    dock.left = 70;
    dock.leftStartY = 0;
    dock.leftEndY = 999;
    X11WorkAreas::Strut bar; // a 30 px bar at the right edge of the root window
    bar.right = 30;
    bar.rightStartY = 100;
    bar.rightEndY = 900;
    X11WorkAreas::Strut bottom; // a bar along the whole bottom
    bottom.bottom = 25;
    bottom.bottomStartX = 0;
    bottom.bottomEndX = 3199;
    const QList<X11WorkAreas::Strut> struts{dock, bar, bottom};
    EXPECT_EQ(X11WorkAreas::subtractStruts(leftMonitor, struts, root), QRect(70, 0, 1530, 975));
    EXPECT_EQ(X11WorkAreas::subtractStruts(rightMonitor, struts, root), QRect(1600, 0, 1570, 975));
    // A range that ends where a monitor starts does not reach into it.
    EXPECT_EQ(X11WorkAreas::subtractStruts(leftMonitor, {topPanel(40, 1600, 3199)}, root),
              leftMonitor);
    EXPECT_EQ(X11WorkAreas::subtractStruts(leftMonitor, {topPanel(40, 1599, 3199)}, root),
              QRect(0, 40, 1600, 960));
}

TEST(X11WorkAreas, AStrutLargerThanTheMonitorLeavesNothingRatherThanAnInvertedArea)
{
    X11WorkAreas::Strut huge;
    huge.left = 5000;
    huge.leftEndY = 999;
    EXPECT_TRUE(X11WorkAreas::subtractStruts(leftMonitor, {huge}, root).isEmpty());
}

TEST(X11WorkAreas, APublishedListGivesEachMonitorTheAreaThatCoversItMost)
{
    const QList<QRect> published{QRect(0, 27, 1600, 973), QRect(1600, 0, 1600, 950)};
    EXPECT_EQ(X11WorkAreas::pickPublished(leftMonitor, published), QRect(0, 27, 1600, 973));
    EXPECT_EQ(X11WorkAreas::pickPublished(rightMonitor, published), QRect(1600, 0, 1600, 950));
    // An area published larger than its monitor is clipped to it; none for a monitor the
    // list does not know.
    EXPECT_EQ(X11WorkAreas::pickPublished(leftMonitor, {QRect(0, 0, 3200, 990)}),
              QRect(0, 0, 1600, 990));
    EXPECT_EQ(X11WorkAreas::pickPublished(QRect(3200, 0, 800, 600), published), std::nullopt);
}
