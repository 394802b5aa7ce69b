// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeWindowSystem.h"
#include "TestSupport.h"

#include "model/AppSettings.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/NoteActions.h"
#include "rail/EdgeRailController.h"
#include "rail/InteractiveRegions.h"
#include "rail/OwnMenus.h"
#include "rail/PassthroughHostingView.h"
#include "rail/RailCoordinator.h"
#include "rail/RailEnvironment.h"
#include "rail/RailFocus.h"
#include "rail/RailPointer.h"
#include "rail/RailRootView.h"
#include "sync/SyncWatcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QSignalSpy>

using namespace std::chrono_literals;

// Stands in for the rail content: asks for the keyboard when told to.
class KeyboardHungryRoot : public RailRootView
{
public:
    void askForKeyboard() { Q_EMIT wantsKeyboard(); }
};

namespace {

ScreenInfo screen(quint32 number, const QRectF &frame, const QRectF &visible)
{
    return {number, frame, visible, QStringLiteral("Pantalla %1").arg(number)};
}

// The main screen 1920 × 1080 with a 25 pt bar at the top and a 70 pt dock at the left;
// a second screen 1280 × 1024 to its right, with a 30 pt bar at its bottom.
const ScreenInfo mainScreen = screen(1, QRectF(0, 0, 1920, 1080), QRectF(70, 0, 1850, 1055));
const ScreenInfo sideScreen = screen(2, QRectF(1920, 0, 1280, 1024), QRectF(1920, 30, 1280, 994));

class RailCoordinatorTest : public ::testing::Test
{
protected:
    RailCoordinatorTest()
    {
        windows.setScreens({mainScreen, sideScreen});
        coordinator = std::make_unique<RailCoordinator>(
            windows, defaults.defaults(), container.get(), nullptr, &sync,
            [this](ScreenEdge edge, const RailEnvironment &environment) {
                environments.append(environment);
                auto root = std::make_unique<KeyboardHungryRoot>();
                roots[edge == ScreenEdge::left ? 0 : 1] = root.get();
                return root;
            });
    }

    EdgeRailController &rail(ScreenEdge edge) const { return *coordinator->controller(edge); }
    FakePanel &panel(ScreenEdge edge) const { return static_cast<FakePanel &>(rail(edge).panel()); }
    Note *addNote(ScreenEdge edge, double sortIndex)
    {
        Note *note = NoteActions::makeNote(*container->mainContext(), edge);
        note->setSortIndex(sortIndex);
        EXPECT_TRUE(container->mainContext()->save());
        return note;
    }

    ScopedDefaults defaults;
    std::unique_ptr<ModelContainer> container = makeMemoryContainer();
    SyncWatcher sync{container.get()};
    FakeWindowSystem windows;
    QList<RailEnvironment> environments;
    QPointer<KeyboardHungryRoot> roots[2];
    std::unique_ptr<RailCoordinator> coordinator;
};

TEST_F(RailCoordinatorTest, StartPutsBothRailsOnTheVisibleFrameOfTheChosenScreen)
{
    coordinator->start();
    ASSERT_EQ(coordinator->controllers().size(), 2u);
    EXPECT_EQ(coordinator->controllers()[0]->edge(), ScreenEdge::left);
    EXPECT_EQ(coordinator->controllers()[1]->edge(), ScreenEdge::right);
    // The left rail starts at the dock's edge, not at the screen's.
    EXPECT_EQ(panel(ScreenEdge::left).frame(), QRectF(70, 0, 540, 1055));
    EXPECT_EQ(panel(ScreenEdge::right).frame(), QRectF(1920 - 540, 0, 540, 1055));
    for (const ScreenEdge edge : ScreenEdges::allCases()) {
        EXPECT_TRUE(panel(edge).isVisible());
        EXPECT_FALSE(panel(edge).isKey()) << "shown without taking the keyboard";
        EXPECT_TRUE(panel(edge).ignoresMouseEvents());
        EXPECT_FALSE(panel(edge).options().takesFocusOnClick);
        EXPECT_EQ(panel(edge).content(), &rail(edge).host());
    }
    EXPECT_EQ(coordinator->currentScreen(), mainScreen);
    ASSERT_EQ(environments.size(), 2);
    EXPECT_EQ(environments[0].railFocus, &coordinator->focus()) << "one focus for both rails";
    EXPECT_EQ(environments[1].railFocus, &coordinator->focus());
    for (int i = 0; i < 2; ++i) {
        const ScreenEdge edge = i == 0 ? ScreenEdge::left : ScreenEdge::right;
        EXPECT_EQ(environments[i].railPointer, &rail(edge).pointer());
        EXPECT_EQ(environments[i].interactiveRegions, &rail(edge).regions());
        EXPECT_EQ(environments[i].container, container.get());
        EXPECT_EQ(environments[i].syncWatcher, &sync);
        EXPECT_EQ(environments[i].windowSystem, &windows);
        EXPECT_EQ(environments[i].defaults, &defaults.defaults());
    }
    EXPECT_TRUE(sync.isStarted());
    EXPECT_EQ(windows.globalMonitorCount(), 2);
    EXPECT_EQ(windows.localMonitorCount(), 2);
    EXPECT_EQ(coordinator->pointerMonitorCount(), 4);
    EXPECT_EQ(windows.timerCount(), 1) << "the pointer sampler";
    EXPECT_EQ(coordinator->samplerRate(), RailCoordinator::idleSamplerInterval)
        << "the pointer is away from the rails";

    // A second start changes nothing.
    coordinator->start();
    EXPECT_EQ(windows.panels().size(), 2);
    EXPECT_EQ(coordinator->pointerMonitorCount(), 4);
}

TEST_F(RailCoordinatorTest, WithoutAScreenNothingStartsAndALaterStartWorks)
{
    windows.setScreens({}, std::nullopt);
    coordinator->start();
    EXPECT_TRUE(coordinator->controllers().empty());
    EXPECT_TRUE(windows.panels().isEmpty());
    EXPECT_EQ(windows.globalMonitorCount() + windows.localMonitorCount(), 0);
    EXPECT_EQ(windows.timerCount(), 0);
    EXPECT_FALSE(coordinator->isObserving());
    EXPECT_FALSE(sync.isStarted());

    windows.setScreens({sideScreen}, std::nullopt); // connected, but none is main
    coordinator->start();
    ASSERT_EQ(coordinator->controllers().size(), 2u);
    EXPECT_EQ(panel(ScreenEdge::right).frame(), QRectF(3200 - 540, 30, 540, 994));
}

TEST_F(RailCoordinatorTest, StopRemovesEverythingAndStartMayFollow)
{
    coordinator->start();
    QPointer<FakePanel> left = &panel(ScreenEdge::left);
    coordinator->stop();
    EXPECT_TRUE(left.isNull());
    EXPECT_TRUE(coordinator->controllers().empty());
    EXPECT_EQ(windows.globalMonitorCount() + windows.localMonitorCount(), 0);
    EXPECT_EQ(coordinator->pointerMonitorCount(), 0);
    EXPECT_FALSE(coordinator->isObserving());
    // Observers are gone: neither screens nor settings reach the coordinator.
    defaults.defaults().setValue(AppSettings::Keys::defaultEdge, QStringLiteral("left"));
    EXPECT_EQ(coordinator->lastKnownEdge(), ScreenEdge::right);

    coordinator->start();
    EXPECT_EQ(coordinator->controllers().size(), 2u);
    EXPECT_EQ(coordinator->pointerMonitorCount(), 4);
}

TEST_F(RailCoordinatorTest, RailsFollowScreenChangesAndTheRailScreenSetting)
{
    coordinator->start();
    // The dock moves to the bottom of the main screen.
    windows.setScreens({screen(1, mainScreen.frame, QRectF(0, 60, 1920, 995)), sideScreen});
    EXPECT_EQ(panel(ScreenEdge::left).frame(), QRectF(0, 60, 540, 995));
    EXPECT_EQ(panel(ScreenEdge::right).frame(), QRectF(1380, 60, 540, 995));

    // Choosing a display moves both rails at once, through the settings notification.
    defaults.defaults().setValue(AppSettings::Keys::railScreen, QStringLiteral("display:2"));
    EXPECT_EQ(panel(ScreenEdge::left).frame(), QRectF(1920, 30, 540, 994));
    EXPECT_EQ(panel(ScreenEdge::right).frame(), QRectF(3200 - 540, 30, 540, 994));
    EXPECT_EQ(coordinator->currentScreen(), sideScreen);

    // When the chosen display goes away the rails fall back to the main screen, and
    // without any screen they keep their frames.
    windows.setScreens({mainScreen});
    EXPECT_EQ(panel(ScreenEdge::left).frame(), QRectF(70, 0, 540, 1055));
    windows.setScreens({}, std::nullopt);
    EXPECT_EQ(panel(ScreenEdge::left).frame(), QRectF(70, 0, 540, 1055));
    EXPECT_EQ(coordinator->currentScreen(), mainScreen);
}

TEST_F(RailCoordinatorTest, TheRailsFollowTheCursorToAnotherScreenWithinOneSample)
{
    defaults.defaults().setValue(AppSettings::Keys::railScreen, QStringLiteral("withCursor"));
    windows.setPointerLocation(QPointF(500, 500));
    coordinator->start();
    EXPECT_EQ(coordinator->currentScreen(), mainScreen);

    // No monitor event: only the sampler sees the pointer arrive on the side screen.
    windows.setPointerLocation(QPointF(2500, 500));
    windows.advance(99ms);
    EXPECT_EQ(panel(ScreenEdge::left).frame().x(), 70);
    windows.advance(1ms);
    EXPECT_EQ(coordinator->currentScreen(), sideScreen);
    EXPECT_EQ(panel(ScreenEdge::left).frame(), QRectF(1920, 30, 540, 994));
    EXPECT_EQ(panel(ScreenEdge::right).frame(), QRectF(3200 - 540, 30, 540, 994));

    // Moving within the screen lays nothing out again.
    const int layouts = panel(ScreenEdge::left).setFrameCount;
    windows.movePointer(QPointF(2600, 400));
    EXPECT_EQ(panel(ScreenEdge::left).setFrameCount, layouts);
}

TEST_F(RailCoordinatorTest, ChangingTheDefaultEdgeGathersTheNotesOnceForEachNewValue)
{
    Note *a = addNote(ScreenEdge::right, 0);
    Note *b = addNote(ScreenEdge::left, 0);
    Note *c = addNote(ScreenEdge::left, 1024);
    coordinator->start();
    EXPECT_EQ(coordinator->lastKnownEdge(), ScreenEdge::right);

    // Another setting changes: nothing moves.
    defaults.defaults().setValue(AppSettings::Keys::noteFontSize, 24);
    EXPECT_EQ(b->edge(), ScreenEdge::left);

    defaults.defaults().setValue(AppSettings::Keys::defaultEdge, QStringLiteral("left"));
    for (Note *note : {a, b, c})
        EXPECT_EQ(note->edge(), ScreenEdge::left);
    EXPECT_EQ(b->sortIndex(), 0);
    EXPECT_EQ(c->sortIndex(), 1024);
    EXPECT_EQ(a->sortIndex(), 2048);
    EXPECT_FALSE(container->mainContext()->hasChanges()) << "gathering saves";

    // The same value again does not gather again.
    a->setEdgeToken(QStringLiteral("right"));
    defaults.defaults().setValue(AppSettings::Keys::defaultEdge, QStringLiteral("left"));
    EXPECT_EQ(a->edge(), ScreenEdge::right);

    // Back to the right: everything gathers there.
    defaults.defaults().setValue(AppSettings::Keys::defaultEdge, QStringLiteral("right"));
    for (Note *note : {a, b, c})
        EXPECT_EQ(note->edge(), ScreenEdge::right);
    EXPECT_EQ(a->sortIndex(), 0);
}

TEST_F(RailCoordinatorTest, RevealOfALeftNoteMakesTheLeftPanelKeyAfterTheDelay)
{
    Note *note = addNote(ScreenEdge::left, 0);
    coordinator->start();
    coordinator->reveal(*note);
    EXPECT_EQ(coordinator->focus().requestedNoteID(), note->id());
    EXPECT_EQ(windows.activateApplicationCount, 1);

    windows.advance(RailCoordinator::revealDelay - 1ms);
    EXPECT_FALSE(panel(ScreenEdge::left).isKey());
    windows.advance(1ms);
    EXPECT_TRUE(panel(ScreenEdge::left).isKey());
    EXPECT_FALSE(panel(ScreenEdge::right).isKey());
    EXPECT_EQ(panel(ScreenEdge::right).makeKeyCount, 0);

    // A reveal still waiting when the coordinator goes does nothing.
    Note *other = addNote(ScreenEdge::right, 0);
    coordinator->reveal(*other);
    coordinator.reset();
    windows.advance(1s);
}

TEST_F(RailCoordinatorTest, TheContentAsksForTheKeyboardOfItsOwnPanel)
{
    coordinator->start();
    ASSERT_TRUE(roots[1]);
    roots[1]->askForKeyboard();
    EXPECT_TRUE(panel(ScreenEdge::right).isKey());
    EXPECT_FALSE(panel(ScreenEdge::left).isKey());
    roots[0]->askForKeyboard();
    EXPECT_TRUE(panel(ScreenEdge::left).isKey());
    EXPECT_FALSE(panel(ScreenEdge::right).isKey());
}

TEST_F(RailCoordinatorTest, AClickOnALeftTabIsOutsideOnlyForTheRightRail)
{
    coordinator->start();
    // A tab 78 wide at the left screen edge, 100 pt below the top of the rail.
    rail(ScreenEdge::left).regions().publish({QRectF(0, 100, 78, 116)});
    const QPointF onTab(70 + 30, 1055 - 1 - 150);
    windows.click(onTab, PointerEventType::leftMouseDown, true);
    EXPECT_EQ(rail(ScreenEdge::left).pointer().outsideClicks(), 0);
    EXPECT_EQ(rail(ScreenEdge::right).pointer().outsideClicks(), 1);

    // Anywhere else, with any button, reported by another application: outside for both.
    windows.click(QPointF(960, 500), PointerEventType::rightMouseDown);
    EXPECT_EQ(rail(ScreenEdge::left).pointer().outsideClicks(), 1);
    EXPECT_EQ(rail(ScreenEdge::right).pointer().outsideClicks(), 2);
}

TEST_F(RailCoordinatorTest, PressesOnOrlettesOwnMenusAreNotOutsideClicks)
{
    coordinator->start();
    const auto outsideClicks = [this] {
        return rail(ScreenEdge::left).pointer().outsideClicks() +
               rail(ScreenEdge::right).pointer().outsideClicks();
    };

    // A tab's context menu: the press on its item, then the one that dismisses it,
    // reported once the menu has gone.
    QMenu menu;
    menu.addAction(QStringLiteral("Mover al borde izquierdo"));
    menu.popup(QPoint(900, 500));
    QCoreApplication::processEvents();
    windows.click(QPointF(910, 500));
    EXPECT_EQ(outsideClicks(), 0);
    menu.hide();
    windows.click(QPointF(10, 10));
    EXPECT_EQ(outsideClicks(), 0);

    // A moment later a press is a press on the desktop again.
    windows.advance(OwnMenus::dismissGrace);
    windows.click(QPointF(960, 500));
    EXPECT_EQ(outsideClicks(), 2);

    // The tray menu, drawn by the tray host: no widget shows, only the menu's signals tell.
    QMenu tray;
    tray.addAction(QStringLiteral("Biblioteca…"));
    Q_EMIT tray.aboutToShow();
    windows.click(QPointF(1900, 10));
    EXPECT_EQ(outsideClicks(), 2);
    Q_EMIT tray.aboutToHide();
    windows.advance(OwnMenus::dismissGrace);
    windows.click(QPointF(960, 500));
    EXPECT_EQ(outsideClicks(), 4);
}

TEST_F(RailCoordinatorTest, MovesReachEveryRailAndClickThroughFollowsThePointer)
{
    coordinator->start();
    rail(ScreenEdge::right).regions().publish({QRectF(540 - 86, 400, 86, 116)});
    const auto atRight = [](double x, double y) { return QPointF(1380 + x, 1054 - y); };

    windows.movePointer(atRight(500, 300)); // in the rail, above the tab
    EXPECT_TRUE(panel(ScreenEdge::right).ignoresMouseEvents());
    EXPECT_EQ(rail(ScreenEdge::right).pointer().location(), QPointF(500, 300));
    EXPECT_FALSE(rail(ScreenEdge::left).pointer().location());

    windows.movePointer(atRight(500, 450), true); // on the tab, seen by a local monitor
    EXPECT_FALSE(panel(ScreenEdge::right).ignoresMouseEvents());
    EXPECT_TRUE(panel(ScreenEdge::left).ignoresMouseEvents());

    windows.setPressedMouseButtons(Qt::LeftButton);
    windows.movePointer(atRight(200, 450), true); // dragged off the tab
    EXPECT_TRUE(panel(ScreenEdge::right).ignoresMouseEvents());
    EXPECT_EQ(rail(ScreenEdge::right).pointer().location(), QPointF(200, 450));
}

TEST_F(RailCoordinatorTest, AStillPointerCostsOneReadPerSampleAndNothingElse)
{
    defaults.defaults().setValue(AppSettings::Keys::railScreen, QStringLiteral("withCursor"));
    windows.setPointerLocation(QPointF(1900, 500));
    coordinator->start();
    rail(ScreenEdge::right).regions().publish({QRectF(440, 500, 100, 100)});
    windows.advance(100ms);
    ASSERT_EQ(coordinator->lastPointer(), QPointF(1900, 500));

    QSignalSpy leftMoves(&rail(ScreenEdge::left).pointer(), &RailPointer::locationChanged);
    QSignalSpy rightMoves(&rail(ScreenEdge::right).pointer(), &RailPointer::locationChanged);
    const int reads = windows.pointerReads;
    const int frames = panel(ScreenEdge::left).setFrameCount;
    const int toggles = panel(ScreenEdge::right).ignoresMouseEventsChanges;
    windows.advance(60s);
    EXPECT_EQ(windows.pointerReads - reads, 600);
    EXPECT_EQ(leftMoves.count() + rightMoves.count(), 0);
    EXPECT_EQ(panel(ScreenEdge::left).setFrameCount, frames);
    EXPECT_EQ(panel(ScreenEdge::right).ignoresMouseEventsChanges, toggles);

    // The first movement is forwarded at once, by the monitor.
    windows.movePointer(QPointF(1901, 500));
    EXPECT_EQ(rightMoves.count(), 1);
}

TEST_F(RailCoordinatorTest, AwayFromTheRailsWithNoCardOpenThePointerIsReadOnceASecond)
{
    windows.setPointerLocation(QPointF(960, 500));
    coordinator->start();
    const int reads = windows.pointerReads;
    windows.advance(60s);
    EXPECT_EQ(windows.pointerReads - reads, 60);

    // A warp onto a rail's panel sends no motion event: the slow sampler sees it, and
    // over the panel the pointer is read ten times a second.
    windows.setPointerLocation(QPointF(1500, 500));
    windows.advance(1s);
    EXPECT_EQ(rail(ScreenEdge::right).pointer().location(), QPointF(120, 554));
    EXPECT_EQ(coordinator->samplerRate(), RailCoordinator::samplerInterval);
    windows.setPointerLocation(QPointF(1600, 500));
    windows.advance(100ms);
    EXPECT_EQ(rail(ScreenEdge::right).pointer().location(), QPointF(220, 554));
    windows.movePointer(QPointF(960, 500));
    EXPECT_EQ(coordinator->samplerRate(), RailCoordinator::idleSamplerInterval);
    EXPECT_EQ(windows.timerCount(), 1) << "one sampler at a time";

    // A card open (its panel has the keyboard) wants every move, wherever the pointer is.
    panel(ScreenEdge::left).makeKeyAndOrderFront();
    EXPECT_EQ(coordinator->samplerRate(), RailCoordinator::samplerInterval);
    panel(ScreenEdge::left).resignKey();
    EXPECT_EQ(coordinator->samplerRate(), RailCoordinator::idleSamplerInterval);
}

TEST_F(RailCoordinatorTest, WhereTheDesktopDoesNotReportEveryMoveTheSamplerRunsFast)
{
    windows.globalMonitorsAvailable = false;
    windows.setPointerLocation(QPointF(960, 500));
    coordinator->start();
    EXPECT_EQ(coordinator->samplerRate(), RailCoordinator::samplerInterval);
    const int reads = windows.pointerReads;
    windows.advance(1s);
    EXPECT_EQ(windows.pointerReads - reads, 10);
    windows.setPointerLocation(QPointF(1500, 500));
    windows.advance(100ms);
    EXPECT_EQ(rail(ScreenEdge::right).pointer().location(), QPointF(120, 554));
}

TEST_F(RailCoordinatorTest, BackAtThePixelItLeftFromThePointerIsSeenThereAgain)
{
    // Where the desktop reports the pointer only over Orlette's windows, it keeps the last
    // place it saw over them after the pointer has gone.
    windows.globalMonitorsAvailable = false;
    coordinator = std::make_unique<RailCoordinator>(
        windows, defaults.defaults(), container.get(), nullptr, &sync,
        [](ScreenEdge, const RailEnvironment &) { return std::make_unique<QWidget>(); }, nullptr,
        EdgeRailController::PointerReach::ownWindowsOnly);
    const QPointF atEdge(1919, 500);
    const QPointF besideEdge(1911, 500);
    windows.setPointerLocation(atEdge);
    coordinator->start();
    windows.advance(RailCoordinator::samplerInterval);
    EdgeRailController &right = rail(ScreenEdge::right);
    const QPointF edgeInRail = right.pointer().location().value_or(QPointF());
    ASSERT_EQ(edgeInRail.x(), 539);

    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&right.host(), &leave);
    ASSERT_EQ(right.pointer().location(), std::nullopt);
    windows.advance(RailCoordinator::samplerInterval);
    ASSERT_EQ(right.pointer().location(), std::nullopt) << "the stale place is not believed";

    // A hand comes back: it enters the panel a few pixels from the edge, then rests at the
    // very pixel it left from.
    windows.setPointerLocation(besideEdge);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), besideEdge);
    QCoreApplication::sendEvent(&right.host(), &enter);
    ASSERT_EQ(right.pointer().location().value_or(QPointF()).x(), 531);
    windows.setPointerLocation(atEdge);
    windows.advance(RailCoordinator::samplerInterval);
    EXPECT_EQ(right.pointer().location(), edgeInRail);
}

TEST_F(RailCoordinatorTest, AClickCountsWhereItWasPressedNotWhereThePointerIsNow)
{
    // Pressed on the right rail's tab; the pointer is off to the middle of the screen by
    // the time the rails hear of it.
    const std::optional<Subscription> quickHand =
        windows.addLocalMonitor(PointerEvents::mouseDowns, [this](const PointerEvent &) {
            windows.setPointerLocation(QPointF(960, 500));
        });
    coordinator->start();
    rail(ScreenEdge::right).regions().publish({QRectF(540 - 86, 400, 86, 116)});
    const QPointF onTab(1380 + 500, 1054 - 450);
    windows.click(onTab, PointerEventType::leftMouseDown, true);
    EXPECT_EQ(rail(ScreenEdge::right).pointer().outsideClicks(), 0);
    EXPECT_EQ(rail(ScreenEdge::left).pointer().outsideClicks(), 1);
}

TEST_F(RailCoordinatorTest, WithoutCompositingThePanelsShowOnlyTheirRects)
{
    windows.setCompositing(false);
    coordinator->start();
    EXPECT_EQ(panel(ScreenEdge::left).visibleRegion(), QRegion());
    rail(ScreenEdge::left).regions().publish({QRectF(-4, 98, 14.5, 30)});
    EXPECT_EQ(panel(ScreenEdge::left).visibleRegion(), QRegion(-4, 98, 15, 30));

    windows.setCompositing(true);
    EXPECT_EQ(panel(ScreenEdge::left).visibleRegion(), std::nullopt);
}

} // namespace
