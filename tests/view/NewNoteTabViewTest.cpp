// SPDX-License-Identifier: GPL-3.0-or-later
#include "ViewTestSupport.h"

#include "rail/NewNoteTabView.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

using ViewTest::distance;
using ViewTest::pixel;

namespace {

constexpr double railWidth = 300;

class NewNoteTabViewTest : public ::testing::Test
{
protected:
    NewNoteTabView *makeTab(ScreenEdge edge, ColorScheme scheme = ColorScheme::light)
    {
        auto *tab = new NewNoteTabView(edge, &rail);
        tab->setColorScheme(scheme);
        const double x = edge == ScreenEdge::right ? railWidth - 78 : 0;
        tab->setTabRect(QRectF(x, 60, 78, 48));
        tab->show();
        return tab;
    }

    // How far the plus sign's colour at `point` is from the paper under it.
    static int inkAt(const QImage &image, const NewNoteTabView &tab, QPointF point)
    {
        const QRectF body = tab.bodyRect();
        const double t = (point.y() - body.top()) / body.height();
        return distance(pixel(image, point),
                        ViewTest::mix(tab.paint().surface, tab.paint().deep, t));
    }

    QWidget rail;
    void SetUp() override
    {
        rail.resize(int(railWidth), 200);
        rail.show();
    }
};

TEST_F(NewNoteTabViewTest, PlusSitsInTheMiddleOfTheVisibleTabOnBothEdges)
{
    for (const ScreenEdge edge : {ScreenEdge::right, ScreenEdge::left}) {
        NewNoteTabView *tab = makeTab(edge);
        const QImage image = ViewTest::render(rail);
        const QPointF centre = tab->tabRect().center();
        EXPECT_EQ(tab->glyphCentre(), centre);
        // The vertical arm of the plus, and plain paper where the unshifted plus would be.
        EXPECT_GT(inkAt(image, *tab, centre + QPointF(0, 3)), 40) << int(edge);
        EXPECT_LT(inkAt(image, *tab, tab->bodyRect().center() + QPointF(0, 3)), 8) << int(edge);
        // The paper runs past the screen edge.
        EXPECT_EQ(tab->bodyRect().width(), 78 + 16);
        delete tab;
    }
}

TEST_F(NewNoteTabViewTest, PlusBrightensWhileHovered)
{
    NewNoteTabView *tab = makeTab(ScreenEdge::right);
    const QPointF arm = tab->glyphCentre() + QPointF(0, 3);
    const int resting = inkAt(ViewTest::render(rail), *tab, arm);
    tab->setHovered(true);
    const int hovered = inkAt(ViewTest::render(rail), *tab, arm);
    EXPECT_GT(hovered, resting + 30);
}

TEST_F(NewNoteTabViewTest, PaintsTheNeutralPaperOfTheScheme)
{
    for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
        NewNoteTabView *tab = makeTab(ScreenEdge::left, scheme);
        const QImage image = ViewTest::render(rail);
        const QRectF body = tab->bodyRect();
        const NotePaint neutral = NotePaint::neutral(scheme);
        // The visible part of a tab on the left rail starts at the screen edge.
        const QPointF top(tab->tabRect().left() + 6, body.top() + 2);
        const QPointF bottom(tab->tabRect().left() + 6, body.bottom() - 2);
        EXPECT_LE(distance(pixel(image, top), neutral.surface), 4);
        EXPECT_LE(distance(pixel(image, bottom), neutral.deep), 4);
        const QString name = QStringLiteral("new-note-tab-%1")
                                 .arg(scheme == ColorScheme::light ? QStringLiteral("light")
                                                                   : QStringLiteral("dark"));
        tab->setTilt(1);
        tab->setHovered(true);
        EXPECT_TRUE(ViewTest::saveArtifact(ViewTest::render(rail, scheme == ColorScheme::light
                                                                      ? QColor(214, 220, 228)
                                                                      : QColor(36, 38, 44)),
                                           name));
        delete tab;
    }
}

TEST_F(NewNoteTabViewTest, OnlyAClickOnThePaperCounts)
{
    NewNoteTabView *tab = makeTab(ScreenEdge::right);
    tab->setTilt(-1);
    QSignalSpy clicks(tab, &QAbstractButton::clicked);
    const QPoint onPaper = tab->mapFromParent(tab->tabRect().center().toPoint());
    QTest::mouseClick(tab, Qt::LeftButton, {}, onPaper);
    EXPECT_EQ(clicks.count(), 1);
    // The widget reaches a little past the turned paper; a click there goes nowhere.
    QTest::mouseClick(tab, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(tab->toolTip(), QStringLiteral("Nueva nota"));
}

TEST_F(NewNoteTabViewTest, TiltTurnsAboutTheScreenEdgeSide)
{
    NewNoteTabView *tab = makeTab(ScreenEdge::right);
    tab->setTilt(-1);
    const QRectF body = tab->bodyRect();
    const QPointF anchor(body.right(), body.center().y());
    EXPECT_EQ(tab->tiltTransform().map(anchor), anchor);
    // Turning counter-clockwise about the right side lowers the inner end.
    EXPECT_GT(tab->tiltTransform().map(body.topLeft()).y(), body.top());
    EXPECT_TRUE(tab->geometry().contains(tab->tiltTransform().map(body.bottomLeft()).toPoint()));
}

} // namespace
