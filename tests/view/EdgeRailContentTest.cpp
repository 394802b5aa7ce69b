// SPDX-License-Identifier: GPL-3.0-or-later
#include "RailTestSupport.h"
#include "ViewTestSupport.h"

#include "model/AppSettings.h"
#include "rail/NewNoteTabView.h"
#include "surfaces/NoteEditorView.h"
#include "surfaces/NoteFormView.h"
#include "surfaces/NotePreviewBody.h"

#include <QAccessible>
#include <QApplication>
#include <QGraphicsView>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace RailTest;

namespace {

// Three notes on a 540 × 900 rail. Asleep: slots 26 high 5 apart from y 406, the wake band
// x ≥ 494, y 366 to 534. Awake: slots 116 high from y 262.5, 109 apart.
class EdgeRailContentTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        first = harness.addNote(QStringLiteral("Primera"), ScreenEdge::right, 0);
        second = harness.addNote(QStringLiteral("Segunda"), ScreenEdge::right, 1024);
        third = harness.addNote(QStringLiteral("Tercera"), ScreenEdge::right, 2048);
        rail = std::make_unique<Rail>(harness, ScreenEdge::right);
    }

    EdgeRailContent *content() const { return rail->content(); }

    // A point in the asleep wake band, level with the stack.
    static QPointF inBand() { return {520, 430}; }

    void wakeUp()
    {
        rail->pointer.setLocation(inBand());
        harness.windows.advance(280ms);
        ASSERT_TRUE(content()->isAwake());
        harness.settle();
    }

    void click(QPointF point)
    {
        QTest::mouseClick(rail->window(), Qt::LeftButton, {}, point.toPoint());
    }

    // Clicks the middle of the card of `note` once the cards rest.
    void clickCard(Note *note)
    {
        harness.settle();
        click(cardCentre(note));
    }

    // Presses on `from`, moves down by `dy` in steps, releases.
    void drag(QPointF from, double dy)
    {
        QTest::mousePress(rail->window(), Qt::LeftButton, {}, from.toPoint());
        const int steps = 5;
        for (int i = 1; i <= steps; ++i)
            QTest::mouseMove(rail->window(), (from + QPointF(0, dy * i / steps)).toPoint());
        QTest::mouseRelease(rail->window(), Qt::LeftButton, {}, (from + QPointF(0, dy)).toPoint());
    }

    QPointF cardCentre(Note *note) const
    {
        return content()->card(note->id())->cardFrame().center();
    }

    Harness harness;
    Note *first = nullptr;
    Note *second = nullptr;
    Note *third = nullptr;
    std::unique_ptr<Rail> rail;
};

} // namespace

TEST_F(EdgeRailContentTest, WakesAfterTheDwellOnlyWhileThePointerStaysInTheBand)
{
    // Beside the band (46 wide while asleep) and above its top margin nothing starts.
    rail->pointer.setLocation(QPointF(480, 430));
    rail->pointer.setLocation(QPointF(520, 360));
    EXPECT_FALSE(content()->isWakePending());

    rail->pointer.setLocation(inBand());
    EXPECT_TRUE(content()->isWakePending());
    harness.windows.advance(279ms);
    EXPECT_FALSE(content()->isAwake());
    // Moving within the band keeps the one pending wake.
    rail->pointer.setLocation(inBand() + QPointF(10, 40));
    harness.windows.advance(1ms);
    EXPECT_TRUE(content()->isAwake());
    EXPECT_FALSE(content()->isWakePending());

    // Awake, the band widens to 126: 100 from the edge keeps the rail awake, 130 does not.
    rail->pointer.setLocation(QPointF(440, 300));
    EXPECT_TRUE(content()->isAwake());
    rail->pointer.setLocation(QPointF(410, 300));
    EXPECT_FALSE(content()->isAwake());
}

TEST_F(EdgeRailContentTest, AQuickPassAcrossTheEdgeNeverWakes)
{
    rail->pointer.setLocation(inBand());
    harness.windows.advance(200ms);
    rail->pointer.setLocation(QPointF(300, 430));
    EXPECT_FALSE(content()->isWakePending());
    harness.windows.advance(1s);
    EXPECT_FALSE(content()->isAwake());

    // Leaving the rail altogether cancels as well.
    rail->pointer.setLocation(inBand());
    rail->pointer.setLocation(std::nullopt);
    harness.windows.advance(1s);
    EXPECT_FALSE(content()->isAwake());

    // The dwell only counts when the pointer is still in the zone when it ends.
    rail->pointer.setLocation(inBand());
    harness.windows.advance(100ms);
    content()->pointerMoved(QPointF(520, 430)); // same zone: no restart
    EXPECT_TRUE(content()->isWakePending());
    harness.windows.advance(180ms);
    EXPECT_TRUE(content()->isAwake());
}

TEST_F(EdgeRailContentTest, AHeldButtonKeepsTheRailAsleep)
{
    harness.windows.setPressedMouseButtons(Qt::LeftButton);
    rail->pointer.setLocation(inBand());
    EXPECT_FALSE(content()->isWakePending());
    harness.windows.advance(1s);
    EXPECT_FALSE(content()->isAwake());

    // Released and moved again: it wakes.
    harness.windows.setPressedMouseButtons(Qt::NoButton);
    rail->pointer.setLocation(inBand() + QPointF(5, 0));
    harness.windows.advance(280ms);
    EXPECT_TRUE(content()->isAwake());
}

TEST_F(EdgeRailContentTest, AButtonPressedDuringTheDwellCancelsTheWake)
{
    rail->pointer.setLocation(inBand());
    harness.windows.advance(100ms);
    harness.windows.setPressedMouseButtons(Qt::RightButton);
    harness.windows.advance(200ms);
    EXPECT_FALSE(content()->isAwake());
    EXPECT_FALSE(content()->isWakePending());
}

TEST_F(EdgeRailContentTest, AClickOnATabOpensItWithoutFocusingTheEditor)
{
    wakeUp();
    QSignalSpy keyboard(content(), &EdgeRailContent::wantsKeyboard);
    clickCard(second);

    EXPECT_EQ(content()->previewNoteID(), second->id());
    EXPECT_FALSE(content()->focusNoteID().has_value());
    EXPECT_TRUE(harness.sync.isEditing());
    EXPECT_EQ(keyboard.count(), 0);

    NoteFormView *open = content()->card(second->id());
    EXPECT_EQ(open->phase(), NotePhase::preview);
    EXPECT_FALSE(open->state().autoFocus);
    EXPECT_TRUE(content()->card(first->id())->state().isDimmed);
    EXPECT_FALSE(open->state().isDimmed);
    // The open card lies above every other.
    harness.settle();
    EXPECT_EQ(content()->cardIndexAt(content()->geometry().itemRect(2).center()), 1);
    // No store change from merely opening a note.
    EXPECT_FALSE(second->isFloating());
}

TEST_F(EdgeRailContentTest, AnOpenNoteKeepsTheRailAwakeUntilAClickElsewhere)
{
    wakeUp();
    clickCard(first);
    ASSERT_EQ(content()->previewNoteID(), first->id());

    rail->pointer.setLocation(QPointF(20, 20));
    EXPECT_TRUE(content()->isAwake());
    rail->pointer.setLocation(std::nullopt);
    EXPECT_TRUE(content()->isAwake());

    rail->pointer.addOutsideClick();
    EXPECT_FALSE(content()->previewNoteID().has_value());
    EXPECT_FALSE(content()->isAwake());
    EXPECT_FALSE(harness.sync.isEditing());
}

TEST_F(EdgeRailContentTest, AClickElsewhereWithThePointerAtTheEdgeLeavesTheRailAwake)
{
    wakeUp();
    clickCard(first);
    rail->pointer.setLocation(QPointF(500, 300));
    rail->pointer.addOutsideClick();
    EXPECT_FALSE(content()->previewNoteID().has_value());
    EXPECT_TRUE(content()->isAwake());
}

TEST_F(EdgeRailContentTest, HoveringAnotherTabWhileOneIsOpenSlidesItOutOnly)
{
    wakeUp();
    clickCard(first);
    harness.settle();
    // The hover rectangles stay those of the tabs at the edge, whatever is open.
    const QPointF overThird(535, content()->geometry().layout().itemY(2) + 80);
    rail->pointer.setLocation(overThird);
    EXPECT_EQ(content()->hoveredNoteID(), third->id());
    EXPECT_EQ(content()->previewNoteID(), first->id());
    EXPECT_EQ(content()->card(third->id())->state().peek, 8);
    EXPECT_EQ(content()->card(first->id())->state().peek, 0);
}

TEST_F(EdgeRailContentTest, TheNewNoteTabCreatesANoteAndFocusesItsEditor)
{
    wakeUp();
    NewNoteTabView *tab = content()->addTab();
    ASSERT_TRUE(tab->isVisible());
    QSignalSpy keyboard(content(), &EdgeRailContent::wantsKeyboard);
    click(tab->tabRect().center());

    ASSERT_EQ(content()->notes().size(), 4);
    Note *created = content()->notes().last();
    EXPECT_EQ(created->edge(), ScreenEdge::right);
    EXPECT_EQ(created->sortIndex(), 2048 + 1024);
    EXPECT_EQ(content()->previewNoteID(), created->id());
    EXPECT_EQ(content()->focusNoteID(), created->id());
    EXPECT_EQ(keyboard.count(), 1);
    NoteFormView *card = content()->card(created->id());
    EXPECT_TRUE(card->state().autoFocus);
    ASSERT_NE(card->previewBody(), nullptr);
    EXPECT_NE(card->previewBody()->editor(), nullptr);
}

TEST_F(EdgeRailContentTest, ScreenReadersHearTheTabsByTheirTitles)
{
    wakeUp();
    const auto nameOf = [](QWidget *widget) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        return accessible ? accessible->text(QAccessible::Name) : QString();
    };
    EXPECT_EQ(nameOf(content()->addTab()), QStringLiteral("Nueva nota"));
    EXPECT_EQ(nameOf(content()->card(first->id())), QStringLiteral("Primera"));
    // A note without a title is known by the start of its text, as its tab shows.
    second->setTitle(QString());
    second->setPlainText(QStringLiteral("Comprar pan\ny leche"));
    EXPECT_EQ(nameOf(content()->card(second->id())), second->displayTitle());
    EXPECT_NE(second->displayTitle(), QStringLiteral("Segunda"));
}

TEST_F(EdgeRailContentTest, AClickIntoTheOpenEditorAsksForTheKeyboard)
{
    wakeUp();
    clickCard(first);
    harness.settle();
    NoteFormView *open = content()->card(first->id());
    auto *panel = open->findChild<QGraphicsView *>();
    ASSERT_NE(panel, nullptr);
    ASSERT_NE(open->previewBody()->editor(), nullptr);
    QSignalSpy keyboard(content(), &EdgeRailContent::wantsKeyboard);
    const QPoint inEditor = panel->mapTo(rail->root.get(), QPoint(panel->width() / 2, 60));
    QTest::mouseClick(rail->window(), Qt::LeftButton, {}, inEditor);
    EXPECT_GE(keyboard.count(), 1);
    // The click stayed with the card's own controls.
    EXPECT_EQ(content()->previewNoteID(), first->id());
}

TEST_F(EdgeRailContentTest, TheOpenCardDoesNotTakeTheRailsDrag)
{
    wakeUp();
    clickCard(first);
    harness.settle();
    ASSERT_EQ(content()->previewNoteID(), first->id());
    // The card's paper just inside its left edge, beside the text, where no control of the
    // card lies and no child widget takes the press. The card may lean, so the first point
    // in from that edge that belongs to it.
    const QRectF frame = content()->card(first->id())->cardFrame();
    QPointF paper(frame.left(), frame.center().y());
    while (paper.x() < frame.left() + 16 && content()->cardIndexAt(paper) != 0)
        paper.rx() += 1;
    paper.rx() += 2;
    ASSERT_EQ(content()->cardIndexAt(paper), 0);

    QTest::mousePress(rail->window(), Qt::LeftButton, {}, paper.toPoint());
    QTest::mouseMove(rail->window(), (paper + QPointF(0, 60)).toPoint());
    EXPECT_FALSE(content()->draggingNoteID().has_value());
    QTest::mouseMove(rail->window(), (paper + QPointF(0, 240)).toPoint());
    QTest::mouseRelease(rail->window(), Qt::LeftButton, {}, (paper + QPointF(0, 240)).toPoint());

    EXPECT_EQ(harness.storedSortIndex(first->id()), 0);
    EXPECT_EQ(content()->notes(), (QList<Note *>{first, second, third}));
    EXPECT_EQ(content()->previewNoteID(), first->id());
}

TEST_F(EdgeRailContentTest, ALostReleaseEndsTheDragAndTheNextClickActs)
{
    wakeUp();
    // A drag whose release never arrives (another program took the pointer).
    QTest::mousePress(rail->window(), Qt::LeftButton, {}, cardCentre(first).toPoint());
    // Less than half a slot: the other cards stay where they are.
    QTest::mouseMove(rail->window(), (cardCentre(first) + QPointF(0, 20)).toPoint());
    ASSERT_EQ(content()->draggingNoteID(), first->id());

    // The next click is a click of its own, not the end of the old drag. Sent by hand:
    // QTest would release the button it believes is still down first.
    const QPointF global = rail->window()->mapToGlobal(cardCentre(second).toPoint());
    const QPointF at = content()->mapFromGlobal(global);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(content(), &press);
    EXPECT_FALSE(content()->draggingNoteID().has_value());
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(content(), &release);
    harness.settle();
    EXPECT_EQ(harness.storedSortIndex(first->id()), 0);
    EXPECT_EQ(content()->notes(), (QList<Note *>{first, second, third}));
    EXPECT_EQ(content()->previewNoteID(), second->id());
}

TEST_F(EdgeRailContentTest, DraggingByLessThanHalfASlotKeepsTheOrder)
{
    wakeUp();
    drag(cardCentre(first), 54);
    EXPECT_EQ(harness.storedSortIndex(first->id()), 0);
    EXPECT_EQ(content()->notes().first(), first);
    // Past the threshold it was a drag, not a click: nothing opened.
    EXPECT_FALSE(content()->previewNoteID().has_value());
    EXPECT_FALSE(content()->draggingNoteID().has_value());
}

TEST_F(EdgeRailContentTest, DraggingByHalfASlotMovesTheNoteOneDown)
{
    wakeUp();
    drag(cardCentre(first), 55);
    EXPECT_EQ(harness.storedSortIndex(first->id()), 1536);
    EXPECT_EQ(content()->notes(), (QList<Note *>{second, first, third}));
    EXPECT_FALSE(content()->previewNoteID().has_value());
}

TEST_F(EdgeRailContentTest, DraggingPastTheEndAppendsAndThreePixelsIsAClick)
{
    wakeUp();
    drag(cardCentre(first), 500);
    EXPECT_EQ(harness.storedSortIndex(first->id()), 2048 + 1024);

    harness.settle();
    // Sideways movement does not count; 6 pt down is still a click.
    const QPointF start = cardCentre(third);
    QTest::mousePress(rail->window(), Qt::LeftButton, {}, start.toPoint());
    QTest::mouseMove(rail->window(), (start + QPointF(-20, 6)).toPoint());
    QTest::mouseRelease(rail->window(), Qt::LeftButton, {}, (start + QPointF(-20, 6)).toPoint());
    EXPECT_EQ(content()->previewNoteID(), third->id());
    EXPECT_EQ(harness.storedSortIndex(third->id()), 2048);
}

TEST_F(EdgeRailContentTest, TheDraggedCardFollowsThePointerAboveTheOthers)
{
    wakeUp();
    const QPointF start = cardCentre(first);
    const RailLayout layout = content()->geometry().layout();
    QTest::mousePress(rail->window(), Qt::LeftButton, {}, start.toPoint());
    QTest::mouseMove(rail->window(), (start + QPointF(0, 120)).toPoint());

    EXPECT_EQ(content()->draggingNoteID(), first->id());
    EXPECT_EQ(content()->dragOffset(), 120);
    EXPECT_DOUBLE_EQ(content()->card(first->id())->cardFrame().top(), layout.itemY(0) + 120);
    // The second note moved up into the gap.
    EXPECT_DOUBLE_EQ(content()->card(second->id())->cardFrame().top(), layout.itemY(0));
    EXPECT_EQ(content()->cardIndexAt(start + QPointF(0, 120)), 0);
    // Its published rectangle moved with it.
    EXPECT_EQ(rail->regions.rects().first(),
              content()->geometry().itemRect(0).adjusted(-4, -2, 4, 2));
    EXPECT_DOUBLE_EQ(rail->regions.rects().first().top(), layout.itemY(0) + 120 - 2);

    QTest::mouseRelease(rail->window(), Qt::LeftButton, {}, (start + QPointF(0, 120)).toPoint());
    EXPECT_FALSE(content()->draggingNoteID().has_value());
    EXPECT_EQ(content()->dragOffset(), 0);
}

TEST_F(EdgeRailContentTest, PublishedRegionsFollowTheLayout)
{
    const QList<QRectF> asleep = rail->regions.rects();
    ASSERT_EQ(asleep.size(), 3); // no new-note tab on a sleeping rail with notes
    EXPECT_EQ(asleep, content()->geometry().publishedRects());
    EXPECT_DOUBLE_EQ(asleep[0].width(), 6 + 8);
    EXPECT_DOUBLE_EQ(asleep[0].right(), 544);
    // The band where a dwell wakes the rail goes with the rectangles.
    EXPECT_EQ(rail->regions.wakeBand(), content()->geometry().wakeBand());
    EXPECT_DOUBLE_EQ(rail->regions.wakeBand().width(), 46);

    int publications = 0;
    rail->regions.setOnChange([&] { ++publications; });
    wakeUp();
    EXPECT_EQ(publications, 1);
    const QList<QRectF> awake = rail->regions.rects();
    ASSERT_EQ(awake.size(), 4);
    EXPECT_EQ(awake, content()->geometry().publishedRects());
    EXPECT_DOUBLE_EQ(awake[0].height(), 116 + 4);
    EXPECT_EQ(awake[3], content()->geometry().addTabRect().adjusted(-4, -2, 4, 2));
    const QRectF awakeBand = rail->regions.wakeBand();
    EXPECT_DOUBLE_EQ(awakeBand.width(), 126);
    EXPECT_LE(awakeBand.top(), awake.first().top());
    EXPECT_GE(awakeBand.bottom(), awake.last().bottom());

    clickCard(second);
    EXPECT_EQ(publications, 2);
    EXPECT_DOUBLE_EQ(rail->regions.rects()[1].width(),
                     330 + RailGeometry::tabWidth(second->id()) + 8);

    // A note more is a new key, and a new list.
    harness.addNote(QStringLiteral("Cuarta"), ScreenEdge::right, 4096);
    EXPECT_EQ(rail->regions.rects().size(), 5);
}

TEST_F(EdgeRailContentTest, ARailOfZeroSizePublishesNothing)
{
    QWidget host;
    host.resize(540, 900);
    RailPointer pointer;
    InteractiveRegions regions;
    int publications = 0;
    regions.setOnChange([&] { ++publications; });
    EdgeRailContent empty(ScreenEdge::right,
                          NoteCommands::forRail(ScreenEdge::right, harness.context(), nullptr),
                          harness.environment(&pointer, &regions), &host);
    empty.setNotes({first, second, third});
    empty.setGeometry(0, 0, 0, 0);
    host.show();
    pointer.setLocation(QPointF(10, 10));
    EXPECT_TRUE(regions.rects().isEmpty());
    EXPECT_EQ(publications, 0);
    EXPECT_FALSE(empty.isWakePending());

    // Measured at last, it publishes.
    empty.setGeometry(0, 0, 540, 900);
    EXPECT_EQ(regions.rects().size(), 3);
    EXPECT_EQ(publications, 1);
}

TEST_F(EdgeRailContentTest, CardActionsGoThroughTheCommands)
{
    wakeUp();
    clickCard(first);
    NoteCardActions actions = content()->cardActions(first);
    actions.recolor(NoteColor::sky);
    EXPECT_EQ(first->color(), NoteColor::sky);
    EXPECT_EQ(content()->previewNoteID(), first->id());

    actions.close();
    EXPECT_FALSE(content()->previewNoteID().has_value());

    clickCard(second);
    content()->cardActions(second).complete();
    EXPECT_TRUE(second->isCompleted());
    EXPECT_FALSE(content()->previewNoteID().has_value());
    EXPECT_EQ(content()->notes(), (QList<Note *>{first, third}));

    clickCard(third);
    content()->cardActions(third).open();
    EXPECT_TRUE(third->isFloating());
    EXPECT_FALSE(content()->previewNoteID().has_value());
    EXPECT_FALSE(harness.sync.isEditing());

    content()->cardActions(first).remove();
    EXPECT_TRUE(first->isTrashed());
    EXPECT_TRUE(content()->notes().isEmpty());
}

TEST_F(EdgeRailContentTest, TheContextMenuOffersTheOtherEdgeAndTheCommands)
{
    std::unique_ptr<QMenu> menu(content()->makeContextMenu(second, nullptr));
    QStringList texts;
    for (QAction *action : menu->actions())
        texts.append(action->isSeparator() ? QStringLiteral("—") : action->text());
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Mover al borde izquierdo"),
                                  QStringLiteral("Marcar como hecha"), QStringLiteral("Archivar"),
                                  QStringLiteral("—"), QStringLiteral("Borrar")}));

    menu->actions()[0]->trigger();
    EXPECT_EQ(second->edge(), ScreenEdge::left);
    EXPECT_EQ(content()->notes(), (QList<Note *>{first, third}));

    std::unique_ptr<QMenu> firstMenu(content()->makeContextMenu(first, nullptr));
    firstMenu->actions()[2]->trigger();
    EXPECT_TRUE(first->isArchived());
    std::unique_ptr<QMenu> thirdMenu(content()->makeContextMenu(third, nullptr));
    thirdMenu->actions()[4]->trigger();
    EXPECT_TRUE(third->isTrashed());
    EXPECT_TRUE(content()->notes().isEmpty());

    Rail left(harness, ScreenEdge::left);
    ASSERT_EQ(left.content()->notes(), QList<Note *>{second});
    std::unique_ptr<QMenu> leftMenu(left.content()->makeContextMenu(second, nullptr));
    EXPECT_EQ(leftMenu->actions()[0]->text(), QStringLiteral("Mover al borde derecho"));
    leftMenu->actions()[1]->trigger();
    EXPECT_TRUE(second->isCompleted());
}

TEST_F(EdgeRailContentTest, ANoteLeavingTheRailWhileOpenClosesIt)
{
    wakeUp();
    clickCard(second);
    ASSERT_TRUE(harness.sync.isEditing());
    // Done from elsewhere (the context menu, the library).
    std::unique_ptr<QMenu> menu(content()->makeContextMenu(second, nullptr));
    menu->actions()[1]->trigger();
    EXPECT_FALSE(content()->previewNoteID().has_value());
    EXPECT_FALSE(harness.sync.isEditing());
    for (NoteFormView *card : content()->cards())
        EXPECT_FALSE(card->state().isDimmed);
}

TEST_F(EdgeRailContentTest, TheEmptyRailShowsItsNewNoteTabOnlyAtTheDefaultEdge)
{
    // The three notes stand on the right, which is the default edge: the left rail is empty.
    Rail left(harness, ScreenEdge::left);
    EXPECT_TRUE(left.content()->notes().isEmpty());
    EXPECT_FALSE(left.content()->addTab()->isVisible());
    EXPECT_TRUE(left.regions.rects().isEmpty());
    EXPECT_FALSE(rail->content()->addTab()->isVisible());

    UserDefaults::standard().setValue(AppSettings::Keys::defaultEdge, QStringLiteral("left"));
    EXPECT_TRUE(left.content()->addTab()->isVisible());
    ASSERT_EQ(left.regions.rects().size(), 1);
    EXPECT_DOUBLE_EQ(left.regions.rects()[0].left(), -4);

    // A value naming neither edge shows it nowhere.
    UserDefaults::standard().setValue(AppSettings::Keys::defaultEdge, QStringLiteral("top"));
    EXPECT_TRUE(left.regions.rects().isEmpty());
    harness.settle();
    EXPECT_FALSE(left.content()->addTab()->isVisible());

    UserDefaults::standard().setValue(AppSettings::Keys::defaultEdge, QStringLiteral("left"));
    harness.settle();
    // A click on it creates a note on the left, open and focused.
    QTest::mouseClick(left.window(), Qt::LeftButton, {},
                      left.content()->addTab()->tabRect().center().toPoint());
    ASSERT_EQ(left.content()->notes().size(), 1);
    EXPECT_EQ(left.content()->notes()[0]->edge(), ScreenEdge::left);
    EXPECT_EQ(left.content()->previewNoteID(), left.content()->notes()[0]->id());
    EXPECT_EQ(left.content()->focusNoteID(), left.content()->notes()[0]->id());
}

TEST_F(EdgeRailContentTest, ACreationThatReturnsNothingChangesNothing)
{
    RailPointer pointer;
    InteractiveRegions regions;
    NoteCommands commands = NoteCommands::forRail(ScreenEdge::right, harness.context(), nullptr);
    int attempts = 0;
    commands.create = [&]() -> std::optional<QUuid> {
        ++attempts;
        return std::nullopt;
    };
    EdgeRailContent failing(ScreenEdge::right, commands, harness.environment(&pointer, &regions));
    failing.resize(540, 900);
    failing.setNotes({first});
    QSignalSpy keyboard(&failing, &EdgeRailContent::wantsKeyboard);
    failing.createNote();
    EXPECT_EQ(attempts, 1);
    EXPECT_FALSE(failing.previewNoteID().has_value());
    EXPECT_FALSE(failing.focusNoteID().has_value());
    EXPECT_FALSE(harness.sync.isEditing());
    EXPECT_EQ(keyboard.count(), 0);
}

TEST_F(EdgeRailContentTest, FocusRequestsOpenTheNoteOnItsOwnRailOnly)
{
    Note *onLeft = harness.addNote(QStringLiteral("Izquierda"), ScreenEdge::left, 0);
    Rail left(harness, ScreenEdge::left);
    QSignalSpy leftKeyboard(left.content(), &EdgeRailContent::wantsKeyboard);
    QSignalSpy rightKeyboard(content(), &EdgeRailContent::wantsKeyboard);

    harness.focus.setRequestedNoteID(onLeft->id());
    EXPECT_FALSE(harness.focus.requestedNoteID().has_value());
    EXPECT_EQ(left.content()->previewNoteID(), onLeft->id());
    EXPECT_EQ(left.content()->focusNoteID(), onLeft->id());
    EXPECT_TRUE(left.content()->card(onLeft->id())->state().autoFocus);
    EXPECT_EQ(leftKeyboard.count(), 1);
    EXPECT_FALSE(content()->previewNoteID().has_value());
    EXPECT_EQ(rightKeyboard.count(), 0);
    // With the pointer away the rail shows the open note awake.
    EXPECT_TRUE(left.content()->isAwake());

    // An archived note is on no rail: the request stays and nothing opens.
    Note *archived = harness.addNote(QStringLiteral("Archivada"), ScreenEdge::right, 4096);
    archived->setIsArchived(true);
    EXPECT_TRUE(harness.context()->save());
    harness.focus.setRequestedNoteID(archived->id());
    EXPECT_EQ(harness.focus.requestedNoteID(), archived->id());
    EXPECT_FALSE(content()->previewNoteID().has_value());
    EXPECT_EQ(left.content()->previewNoteID(), onLeft->id());
}

TEST_F(EdgeRailContentTest, AFocusRequestWaitingBeforeTheRailAppearsIsServedThen)
{
    Note *later = harness.addNote(QStringLiteral("Luego"), ScreenEdge::left, 0);
    harness.focus.setRequestedNoteID(later->id());
    // The right rail does not hold it.
    EXPECT_EQ(harness.focus.requestedNoteID(), later->id());
    Rail left(harness, ScreenEdge::left);
    EXPECT_FALSE(harness.focus.requestedNoteID().has_value());
    EXPECT_EQ(left.content()->previewNoteID(), later->id());
    EXPECT_EQ(left.content()->focusNoteID(), later->id());
}

TEST_F(EdgeRailContentTest, AFocusRequestForAnotherNoteOfTheRailMovesThePreview)
{
    wakeUp();
    clickCard(first);
    harness.focus.setRequestedNoteID(third->id());
    EXPECT_EQ(content()->previewNoteID(), third->id());
    EXPECT_EQ(content()->card(first->id())->phase(), NotePhase::tab);
    EXPECT_TRUE(harness.sync.isEditing());
}

TEST_F(EdgeRailContentTest, ANewGenerationRebuildsTheRailFromScratchOnceItSleeps)
{
    wakeUp();
    const QPointF overFirst(535, content()->geometry().layout().itemY(0) + 20);
    rail->pointer.setLocation(overFirst);
    ASSERT_EQ(content()->hoveredNoteID(), first->id());
    EdgeRailContent *before = content();

    // Under the pointer the tabs stay as they are: the one being reached for takes the click.
    harness.sync.apply();
    QCoreApplication::processEvents();
    EXPECT_EQ(content(), before);
    EXPECT_TRUE(content()->isAwake());
    EXPECT_TRUE(content()->geometry().noteID(overFirst).has_value());
    harness.sync.apply(); // a second change waits with the first
    QCoreApplication::processEvents();
    EXPECT_EQ(content(), before);

    rail->pointer.setLocation(std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return rail->root->generation() == harness.sync.generation(); }));
    EdgeRailContent *after = content();
    EXPECT_NE(after, before);
    EXPECT_FALSE(after->isAwake());
    EXPECT_FALSE(after->hoveredNoteID().has_value());
    EXPECT_EQ(after->notes().size(), 3);
    EXPECT_TRUE(after->paintsChips());
    // The old content publishes nothing more; the new one published its sleeping layout.
    EXPECT_EQ(rail->regions.rects(), after->geometry().publishedRects());
    rail->pointer.setLocation(inBand());
    EXPECT_EQ(rail->regions.rects(), after->geometry().publishedRects());
}

TEST_F(EdgeRailContentTest, AChangeHeldBackWhileEditingRebuildsOnceTheNoteCloses)
{
    wakeUp();
    clickCard(first);
    ASSERT_TRUE(harness.sync.isEditing());

    // Another process adds a note.
    {
        const auto other = harness.container()->makeContext().value();
        other->insert(Note::make(QStringLiteral("Remota"), StyledText::plain(QString()),
                                 NoteColor::mint, ScreenEdge::right, 9000));
        EXPECT_TRUE(other->save());
    }
    harness.sync.check();
    EXPECT_TRUE(harness.sync.isPending());
    EXPECT_EQ(harness.sync.generation(), 0);

    // Closing from the card's own button, inside the card: the rebuild waits for it to return.
    content()->cardActions(first).close();
    EXPECT_EQ(harness.sync.generation(), 1);
    // With the pointer still on the tabs, they stay; gone from the rail, it comes back new.
    rail->pointer.setLocation(std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return rail->root->generation() == 1; }));
    EXPECT_EQ(content()->notes().size(), 4);
    EXPECT_FALSE(content()->previewNoteID().has_value());
}

TEST_F(EdgeRailContentTest, ASleepingRailPaintsItsChipsItself)
{
    ASSERT_TRUE(content()->paintsChips());
    for (NoteFormView *card : content()->cards())
        EXPECT_FALSE(card->isVisible());
    const QImage image = ViewTest::render(*rail->root);
    // The chips lie against the right edge; the panel is clear elsewhere.
    const QRectF chip = content()->geometry().itemRect(1);
    EXPECT_GT(image.pixelColor(QPoint(538, int(chip.center().y()))).alpha(), 200);
    EXPECT_EQ(image.pixelColor(QPoint(400, int(chip.center().y()))).alpha(), 0);

    // Waking gives the cards their widgets back; falling asleep again returns to the picture
    // once the tabs have folded.
    wakeUp();
    EXPECT_FALSE(content()->paintsChips());
    for (NoteFormView *card : content()->cards())
        EXPECT_TRUE(card->isVisible());
    rail->pointer.setLocation(QPointF(100, 100));
    EXPECT_FALSE(content()->isAwake());
    EXPECT_FALSE(content()->paintsChips());
    harness.settle();
    EXPECT_TRUE(content()->paintsChips());

    // A new colour shows on the sleeping rail.
    const QPointF onChip(538, chip.center().y());
    const QColor before = ViewTest::pixel(ViewTest::render(*rail->root), onChip);
    second->setColor(NoteColor::lavender);
    const QColor after = ViewTest::pixel(ViewTest::render(*rail->root), onChip);
    EXPECT_NE(before, after);
}

TEST_F(EdgeRailContentTest, ScreenshotsOfTheRailStates)
{
    const QColor desktop(0xd8, 0xdc, 0xe2);
    const auto save = [&](const QString &name) {
        const QImage image = ViewTest::render(*rail->root, desktop);
        EXPECT_TRUE(ViewTest::saveArtifact(image, name));
        return image;
    };

    const QImage asleep = save(QStringLiteral("rail-asleep"));
    wakeUp();
    const QImage awake = save(QStringLiteral("rail-awake"));
    // Awake, the tabs reach far further into the screen than the chips.
    const int y = int(content()->geometry().itemRect(0).center().y());
    EXPECT_EQ(ViewTest::pixel(asleep, QPointF(480, y)), desktop);
    EXPECT_NE(ViewTest::pixel(awake, QPointF(480, y)), desktop);

    clickCard(second);
    harness.settle();
    const QImage preview = save(QStringLiteral("rail-preview"));
    EXPECT_NE(ViewTest::pixel(
                  preview, QPointF(300, content()->card(second->id())->cardFrame().center().y())),
              desktop);

    rail->pointer.addOutsideClick();
    harness.settle();
    const QPointF start = cardCentre(first);
    QTest::mousePress(rail->window(), Qt::LeftButton, {}, start.toPoint());
    QTest::mouseMove(rail->window(), (start + QPointF(0, 150)).toPoint());
    save(QStringLiteral("rail-dragging"));
    QTest::mouseRelease(rail->window(), Qt::LeftButton, {}, (start + QPointF(0, 150)).toPoint());
}
