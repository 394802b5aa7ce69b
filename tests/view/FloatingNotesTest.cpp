// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeWindowSystem.h"
#include "TestSupport.h"
#include "ViewTestSupport.h"

#include "library/LibraryActions.h"
#include "model/NoteCommands.h"
#include "surfaces/BundledFonts.h"
#include "surfaces/ColorSwatchRow.h"
#include "surfaces/FloatingNotePanel.h"
#include "surfaces/FloatingNotePositions.h"
#include "surfaces/FloatingNotesCoordinator.h"
#include "surfaces/NoteActionsBar.h"
#include "surfaces/NoteEditorView.h"
#include "surfaces/NoteTextButton.h"
#include "surfaces/NoteWindowBody.h"
#include "surfaces/NoteWindowView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

namespace {

class FloatingNotesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        BundledFonts::registerAll();
        container = makeMemoryContainer();
        context = container->mainContext();
        coordinator = std::make_unique<FloatingNotesCoordinator>(
            container.get(), windows, ViewTest::environment(context, ColorScheme::light));
    }

    void TearDown() override
    {
        coordinator.reset();
        deleteClosedWindows();
    }

    // A note that the tear-off command has already marked floating.
    Note *floatingNote(const QString &title, NoteColor color = NoteColor::citrus)
    {
        Note *note =
            ViewTest::insertNote(*context, title, QStringLiteral("Cuerpo de ") + title, color);
        note->setIsFloating(true);
        note->setUpdatedAt(QDateTime::currentDateTimeUtc().addDays(-2));
        EXPECT_TRUE(context->save());
        return note;
    }

    FakePanel *fakePanel(const Note *note) const
    {
        FloatingNotePanel *window = coordinator->panel(note->id());
        return window ? static_cast<FakePanel *>(&window->panel()) : nullptr;
    }

    NoteWindowView *view(const Note *note) const
    {
        FloatingNotePanel *window = coordinator->panel(note->id());
        return window ? window->view() : nullptr;
    }

    // Lays the window out as it shows (the fake never maps it on a screen).
    NoteWindowView *shownView(const Note *note) const
    {
        FakePanel *panel = fakePanel(note);
        panel->host()->show();
        QCoreApplication::processEvents();
        return view(note);
    }

    static void deleteClosedWindows()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QString storedPosition(const Note *note) const
    {
        return defaults.defaults().stringValue(FloatingNotePositions::key(note->id()));
    }

    bool positionStored(const Note *note) const
    {
        return defaults.defaults().contains(FloatingNotePositions::key(note->id()));
    }

    // The note as another reader of the store sees it.
    std::unique_ptr<ModelContext> fresh = nullptr;
    Note *stored(const Note *note)
    {
        fresh = container->makeContext().value();
        const auto notes = fresh->fetch(
            FetchDescriptor{NotePredicate::equals(Note::Field::id, note->id()), {}, std::nullopt});
        return notes && notes->size() == 1 ? notes->first() : nullptr;
    }

    // A left press at `point` of `view`, delivered to the widget there and passed up to
    // its parents as long as none takes it.
    static void press(NoteWindowView *view, QPointF point)
    {
        QWidget *target = view->childAt(point.toPoint());
        if (target == nullptr)
            target = view;
        const QPointF local = target->mapFrom(view, point);
        QMouseEvent event(QEvent::MouseButtonPress, local, local, view->mapToGlobal(point),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }

    ScopedDefaults defaults;
    FakeWindowSystem windows;
    std::unique_ptr<ModelContainer> container;
    ModelContext *context = nullptr;
    std::unique_ptr<FloatingNotesCoordinator> coordinator;
};

using namespace FloatingNotePositions;

TEST_F(FloatingNotesTest, OpeningANoteTwiceBringsItsOneWindowForward)
{
    Note *note = floatingNote(QStringLiteral("Una"));
    coordinator->open(note);
    coordinator->open(note);

    ASSERT_EQ(coordinator->count(), 1);
    ASSERT_EQ(windows.panels().size(), 1) << "no second window";
    FakePanel *panel = fakePanel(note);
    EXPECT_EQ(panel->orderFrontCount, 2);
    EXPECT_EQ(panel->makeKeyCount, 0) << "brought forward without taking the keyboard";
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->frame().size(), QSizeF(380, 340));
    EXPECT_TRUE(panel->options().takesFocusOnClick);
    EXPECT_FALSE(panel->options().ignoresMouseEvents);
    EXPECT_EQ(panel->options().minimumSize, QSizeF(260, 200));

    NoteWindowView *content = view(note);
    ASSERT_NE(content, nullptr);
    EXPECT_EQ(panel->content(), content);
    ASSERT_NE(content->body()->editor(), nullptr) << "the window edits its note";
    EXPECT_NE(content->body()->titleField(), nullptr);
    EXPECT_FALSE(context->hasChanges()) << "opening changes nothing in the note";
}

TEST_F(FloatingNotesTest, WindowsWithoutAPlaceCascadeFromTheCentreOfTheVisibleArea)
{
    Note *first = floatingNote(QStringLiteral("Primera"));
    Note *second = floatingNote(QStringLiteral("Segunda"));
    coordinator->open(first);
    coordinator->open(second);

    // The visible area is 1920 × 1055 from the bottom-left corner; y grows upwards.
    const QPointF centred(960 - 190, 527.5 - 170);
    EXPECT_EQ(fakePanel(first)->frame().topLeft(), centred);
    EXPECT_EQ(fakePanel(second)->frame().topLeft(), centred + QPointF(26, -26))
        << "26 right and 26 down";
    EXPECT_FALSE(positionStored(first)) << "an unmoved window has no remembered place yet";
}

TEST_F(FloatingNotesTest, ARememberedPlaceIsUsedAndAnUnreadableOneIsNot)
{
    Note *placed = floatingNote(QStringLiteral("Colocada"));
    Note *single = floatingNote(QStringLiteral("Un número"));
    Note *triple = floatingNote(QStringLiteral("Tres números"));
    defaults.defaults().setValue(key(placed->id()), QStringLiteral("10.5,20"));
    defaults.defaults().setValue(key(single->id()), QStringLiteral("10.5"));
    defaults.defaults().setValue(key(triple->id()), QStringLiteral("10.5,20,30"));

    coordinator->open(placed);
    coordinator->open(single);
    coordinator->open(triple);

    EXPECT_EQ(fakePanel(placed)->frame().topLeft(), QPointF(10.5, 20));
    // Each window without a usable place takes the cascade step of the windows open.
    const QPointF centred(770, 357.5);
    EXPECT_EQ(fakePanel(single)->frame().topLeft(), centred + QPointF(26, -26));
    EXPECT_EQ(fakePanel(triple)->frame().topLeft(), centred + QPointF(52, -52));
    EXPECT_EQ(storedPosition(single), QStringLiteral("10.5")) << "replaced only by a move";
}

TEST_F(FloatingNotesTest, WithoutAnyScreenTheWindowGoesToAFixedPlace)
{
    windows.setScreens({});
    Note *note = floatingNote(QStringLiteral("Sin pantalla"));
    coordinator->open(note);
    EXPECT_EQ(fakePanel(note)->frame().topLeft(), QPointF(200, 200));
}

TEST_F(FloatingNotesTest, AMoveIsWrittenOnceItEndsAndComesBackAfterAClose)
{
    Note *note = floatingNote(QStringLiteral("Movida"));
    coordinator->open(note);
    FakePanel *panel = fakePanel(note);
    int writes = 0;
    const auto counter =
        QObject::connect(&defaults.defaults(), &UserDefaults::didChange, [&] { ++writes; });

    // The steps of one drag: nothing is written while the window keeps moving.
    for (int step = 1; step <= 20; ++step) {
        panel->setFrameOrigin(QPointF(300 + step, 400.25));
        windows.advance(FloatingNotesCoordinator::settleDelay / 4);
    }
    EXPECT_EQ(writes, 0);
    EXPECT_FALSE(positionStored(note));
    windows.advance(FloatingNotesCoordinator::settleDelay);
    EXPECT_EQ(storedPosition(note), QStringLiteral("320.0,400.25"));
    const int afterFirstMove = writes;
    EXPECT_GE(afterFirstMove, 1);
    EXPECT_LE(afterFirstMove, 2) << "the place, and the size";

    panel->setFrameOrigin(QPointF(-120, 64));
    windows.advance(FloatingNotesCoordinator::settleDelay);
    EXPECT_EQ(storedPosition(note), QStringLiteral("-120.0,64.0"));
    EXPECT_EQ(writes, afterFirstMove + 1) << "an unchanged size is not written again";
    QObject::disconnect(counter);

    // As after quitting and starting again: the windows go, the note still floats.
    coordinator->closeAll();
    deleteClosedWindows();
    EXPECT_TRUE(windows.panels().isEmpty());
    coordinator->restore();
    ASSERT_NE(fakePanel(note), nullptr);
    EXPECT_EQ(fakePanel(note)->frame().topLeft(), QPointF(-120, 64));
}

TEST_F(FloatingNotesTest, AResizedWindowComesBackAtItsSizeAndPlace)
{
    Note *note = floatingNote(QStringLiteral("Agrandada"));
    coordinator->open(note);
    shownView(note);
    FakePanel *panel = fakePanel(note);
    const QRectF opened = panel->frame();

    // The top edge dragged up: the bottom-left corner stays, so nothing "moved".
    const QRectF taller(opened.topLeft(), QSizeF(opened.width(), opened.height() + 120));
    panel->setFrame(taller);
    QCoreApplication::processEvents();
    windows.advance(FloatingNotesCoordinator::settleDelay);
    // Then the bottom-right corner: the origin goes down by what the height grows.
    const QRectF wider(taller.x(), taller.y() - 60, taller.width() + 90, taller.height() + 60);
    panel->setFrame(wider);
    QCoreApplication::processEvents();

    // Quitting within the pause still keeps it.
    coordinator->closeAll();
    deleteClosedWindows();
    coordinator->restore();
    ASSERT_NE(fakePanel(note), nullptr);
    EXPECT_EQ(fakePanel(note)->frame(), wider);

    // A size below the window's minimum, or unreadable, is not used.
    coordinator->closeAll();
    deleteClosedWindows();
    defaults.defaults().setValue(FloatingNotePositions::sizeKey(note->id()),
                                 QStringLiteral("100,50"));
    coordinator->restore();
    EXPECT_EQ(fakePanel(note)->frame().size(), FloatingNotesCoordinator::windowSize);

    // "Cerrar" forgets the size with the place.
    view(note)->body()->actionsBar()->closeButton()->click();
    EXPECT_FALSE(defaults.defaults().value(FloatingNotePositions::sizeKey(note->id())).isValid());
}

TEST_F(FloatingNotesTest, DoneArchivedAndTrashedNotesAreNotReopenedAtLaunch)
{
    // Marked so on another computer, or by an earlier version, while they floated.
    Note *kept = floatingNote(QStringLiteral("Sigue"));
    Note *done = floatingNote(QStringLiteral("Hecha"));
    done->setCompletedAt(QDateTime::currentDateTimeUtc());
    Note *archived = floatingNote(QStringLiteral("Archivada"));
    archived->setIsArchived(true);
    Note *trashed = floatingNote(QStringLiteral("Tirada"));
    trashed->setDeletedAt(QDateTime::currentDateTimeUtc());
    ASSERT_TRUE(context->save());

    coordinator->restore();
    EXPECT_NE(fakePanel(kept), nullptr);
    EXPECT_EQ(fakePanel(done), nullptr);
    EXPECT_EQ(fakePanel(archived), nullptr);
    EXPECT_EQ(fakePanel(trashed), nullptr);
    EXPECT_EQ(windows.panels().size(), 1);
}

TEST_F(FloatingNotesTest, TheCloseActionDocksTheNoteAndForgetsItsPlace)
{
    Note *note = floatingNote(QStringLiteral("Cerrada"));
    coordinator->open(note);
    fakePanel(note)->setFrameOrigin(QPointF(50, 60));
    windows.advance(FloatingNotesCoordinator::settleDelay);
    ASSERT_TRUE(positionStored(note));
    FakePanel *panel = fakePanel(note);

    // Through the window's own button: the window goes while its button is being clicked.
    view(note)->body()->actionsBar()->closeButton()->click();

    EXPECT_EQ(coordinator->count(), 0);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_FALSE(positionStored(note));
    EXPECT_FALSE(note->isFloating());
    EXPECT_FALSE(context->hasChanges()) << "saved";
    Note *reread = stored(note);
    ASSERT_NE(reread, nullptr);
    EXPECT_FALSE(reread->isFloating());
    EXPECT_FALSE(reread->isCompleted());
    EXPECT_FALSE(reread->isTrashed());
    EXPECT_TRUE(reread->isOnRail(ScreenEdge::right)) << "back on its edge";

    deleteClosedWindows();
    EXPECT_TRUE(windows.panels().isEmpty()) << "the closed window is gone";
    EXPECT_FALSE(positionStored(note)) << "and it stored no place on its way out";
}

TEST_F(FloatingNotesTest, CompletingOrTrashingDocksTheNoteButKeepsItsPlace)
{
    Note *done = floatingNote(QStringLiteral("Hecha"));
    Note *trashed = floatingNote(QStringLiteral("Tirada"));
    coordinator->open(done);
    coordinator->open(trashed);
    fakePanel(done)->setFrameOrigin(QPointF(10, 10));
    fakePanel(trashed)->setFrameOrigin(QPointF(20, 20));

    const QDateTime before = QDateTime::currentDateTimeUtc();
    view(done)->body()->actionsBar()->completeButton()->click();
    view(trashed)->body()->actionsBar()->deleteButton()->click();

    EXPECT_EQ(coordinator->count(), 0);
    for (Note *note : {done, trashed}) {
        Note *reread = stored(note);
        ASSERT_NE(reread, nullptr);
        EXPECT_FALSE(reread->isFloating());
        EXPECT_TRUE(positionStored(note));
    }
    ASSERT_TRUE(stored(done)->isCompleted());
    EXPECT_GE(*stored(done)->completedAt(), before.addSecs(-1));
    EXPECT_FALSE(stored(done)->isTrashed());
    ASSERT_TRUE(stored(trashed)->isTrashed());
    EXPECT_GE(*stored(trashed)->deletedAt(), before.addSecs(-1));
    EXPECT_FALSE(stored(trashed)->isCompleted());

    // A note trashed while floating is not reopened; its place stays behind unused.
    coordinator->restore();
    EXPECT_EQ(coordinator->count(), 0);
}

TEST_F(FloatingNotesTest, ReopeningANoteMarkedDoneWhileFloatingKeepsItFloating)
{
    Note *note = floatingNote(QStringLiteral("Reabierta"));
    coordinator->open(note);
    // Marked done from the library while its window stays on the desktop.
    note->setCompletedAt(QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(context->save());
    NoteTextButton *button = view(note)->body()->actionsBar()->completeButton();
    ASSERT_EQ(button->text(), QStringLiteral("Reabrir"));

    button->click();

    EXPECT_FALSE(stored(note)->isCompleted());
    EXPECT_TRUE(stored(note)->isFloating());
    EXPECT_EQ(coordinator->count(), 1);
    EXPECT_EQ(button->text(), QStringLiteral("Hecha"));
}

TEST_F(FloatingNotesTest, RecolouringRepaintsTheOpenWindow)
{
    Note *note = floatingNote(QStringLiteral("Color"));
    coordinator->open(note);
    NoteWindowView *content = shownView(note);
    const QDateTime dated = note->updatedAt();
    const QPointF paperTop = content->paperRect().topLeft() + QPointF(60, 4);
    const QColor citrus = ViewTest::pixel(ViewTest::render(*content), paperTop);

    ColorSwatchRow *swatches = content->body()->actionsBar()->swatches();
    const QPointF swatch = swatches->swatchRect(NoteColor::lavender).center();
    QMouseEvent down(QEvent::MouseButtonPress, swatch, swatch, swatches->mapToGlobal(swatch),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent up(QEvent::MouseButtonRelease, swatch, swatch, swatches->mapToGlobal(swatch),
                   Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(swatches, &down);
    QApplication::sendEvent(swatches, &up);

    EXPECT_EQ(stored(note)->color(), NoteColor::lavender);
    EXPECT_GT(stored(note)->updatedAt(), dated);
    EXPECT_TRUE(stored(note)->isFloating());
    ASSERT_EQ(coordinator->count(), 1);
    EXPECT_EQ(view(note), content) << "the same window stays open";
    EXPECT_EQ(content->paint(), NoteColors::paint(NoteColor::lavender, ColorScheme::light));
    const QColor lavender = ViewTest::pixel(ViewTest::render(*content), paperTop);
    EXPECT_LE(ViewTest::distance(lavender, content->paint().surface), 12);
    EXPECT_GT(ViewTest::distance(lavender, citrus), 30);
}

TEST_F(FloatingNotesTest, RestoreOpensEveryFloatingNoteThatIsStillOnTheDesktop)
{
    Note *floating = floatingNote(QStringLiteral("Flotante"));
    Note *done = floatingNote(QStringLiteral("Flotante y hecha"));
    done->setCompletedAt(QDateTime::currentDateTimeUtc());
    Note *trashed = floatingNote(QStringLiteral("Flotante en la papelera"));
    trashed->setDeletedAt(QDateTime::currentDateTimeUtc());
    Note *docked = ViewTest::insertNote(*context, QStringLiteral("En el borde"), QString());
    EXPECT_TRUE(context->save());

    coordinator->restore();

    QList<QUuid> opened = coordinator->noteIds();
    std::sort(opened.begin(), opened.end());
    EXPECT_EQ(opened, QList<QUuid>{floating->id()});
    EXPECT_EQ(coordinator->panel(done->id()), nullptr);
    EXPECT_EQ(coordinator->panel(trashed->id()), nullptr);
    EXPECT_EQ(coordinator->panel(docked->id()), nullptr);
    EXPECT_FALSE(context->hasChanges()) << "restoring changes no note";
}

TEST_F(FloatingNotesTest, FloatingDockingAndTrashingElsewhereOpenAndCloseWindowsHere)
{
    Note *first = ViewTest::insertNote(*context, QStringLiteral("Primera"), QString());
    Note *second = floatingNote(QStringLiteral("Segunda"));
    Note *third = floatingNote(QStringLiteral("Tercera"));
    EXPECT_TRUE(context->save());
    coordinator->restore();
    ASSERT_EQ(coordinator->count(), 2);
    // Closed here by hand while it stays floating: no change elsewhere reopens it.
    coordinator->close(third->id());

    // Another computer's changes, arriving through another connection to the store.
    const auto elsewhere = [&](const std::function<void(Note *, Note *)> &change) {
        std::unique_ptr<ModelContext> other = container->makeContext().value();
        const auto notes = other->fetch(FetchDescriptor{});
        ASSERT_TRUE(notes);
        Note *otherFirst = nullptr;
        Note *otherSecond = nullptr;
        for (Note *note : *notes) {
            if (note->id() == first->id())
                otherFirst = note;
            if (note->id() == second->id())
                otherSecond = note;
        }
        change(otherFirst, otherSecond);
        ASSERT_TRUE(other->save());
        context->processExternalChanges(true);
        deleteClosedWindows();
    };

    elsewhere([](Note *tornOff, Note *) { tornOff->setIsFloating(true); });
    EXPECT_NE(coordinator->panel(first->id()), nullptr);
    EXPECT_NE(coordinator->panel(second->id()), nullptr);
    EXPECT_EQ(coordinator->panel(third->id()), nullptr);

    elsewhere([](Note *docked, Note *trashed) {
        docked->setIsFloating(false);
        trashed->setDeletedAt(QDateTime::currentDateTimeUtc());
    });
    EXPECT_EQ(coordinator->count(), 0);
    EXPECT_FALSE(context->hasChanges());
}

TEST_F(FloatingNotesTest, CloseAllHidesEveryWindowWithoutChangingANote)
{
    Note *first = floatingNote(QStringLiteral("Primera"));
    Note *second = floatingNote(QStringLiteral("Segunda"));
    coordinator->open(first);
    coordinator->open(second);
    fakePanel(first)->setFrameOrigin(QPointF(1, 2));
    const QList<FakePanel *> panels{fakePanel(first), fakePanel(second)};

    coordinator->closeAll();

    EXPECT_EQ(coordinator->count(), 0);
    for (FakePanel *panel : panels) {
        EXPECT_FALSE(panel->isVisible());
        EXPECT_EQ(panel->orderOutCount, 1);
    }
    EXPECT_FALSE(context->hasChanges());
    EXPECT_TRUE(stored(first)->isFloating());
    EXPECT_TRUE(stored(second)->isFloating());
    EXPECT_EQ(storedPosition(first), QStringLiteral("1.0,2.0"));
}

TEST_F(FloatingNotesTest, TheCommandsAndTheLibraryOpenAndCloseWindows)
{
    Note *note = ViewTest::insertNote(*context, QStringLiteral("Arrancada"), QString());
    NoteCommands::forRail(ScreenEdge::right, context, coordinator.get()).open(note);
    EXPECT_TRUE(stored(note)->isFloating());
    ASSERT_NE(coordinator->panel(note->id()), nullptr);

    LibraryActions(context, coordinator.get()).moveToTrash(note);
    EXPECT_EQ(coordinator->panel(note->id()), nullptr);
    EXPECT_FALSE(stored(note)->isFloating());
    EXPECT_TRUE(stored(note)->isTrashed());

    // The coordinator's own closing of a window changes no note.
    Note *other = floatingNote(QStringLiteral("Otra"));
    coordinator->open(other);
    coordinator->closeWindow(other);
    EXPECT_EQ(coordinator->count(), 0);
    EXPECT_TRUE(other->isFloating());
    EXPECT_FALSE(context->hasChanges());
}

TEST_F(FloatingNotesTest, ActionsOfAGoneCoordinatorDoNothing)
{
    Note *note = floatingNote(QStringLiteral("Huérfana"));
    coordinator->open(note);
    fakePanel(note)->setFrameOrigin(QPointF(5, 5));
    const NoteCardActions actions = coordinator->actions(note);

    coordinator.reset();
    actions.close();
    actions.complete();
    actions.remove();
    actions.recolor(NoteColor::mint);

    EXPECT_TRUE(note->isFloating());
    EXPECT_FALSE(note->isCompleted());
    EXPECT_FALSE(note->isTrashed());
    EXPECT_EQ(note->color(), NoteColor::citrus);
    EXPECT_TRUE(positionStored(note));
    EXPECT_TRUE(windows.panels().isEmpty()) << "the windows went with their coordinator";
}

TEST_F(FloatingNotesTest, AnEditInProgressIsWrittenWhenTheWindowCloses)
{
    Note *note = floatingNote(QStringLiteral("Escrita"));
    coordinator->open(note);
    NoteEditorView *editor = shownView(note)->body()->editor();
    editor->moveCursor(QTextCursor::End);
    editor->insertPlainText(QStringLiteral(" y más"));
    ASSERT_TRUE(editor->hasPendingSave());

    view(note)->body()->actionsBar()->closeButton()->click();
    deleteClosedWindows();

    EXPECT_EQ(stored(note)->plainText(), QStringLiteral("Cuerpo de Escrita y más"));
    EXPECT_FALSE(stored(note)->isFloating());
}

TEST_F(FloatingNotesTest, ThePaperDragsTheWindowItsRimResizesItAndTheShadowLetsClicksThrough)
{
    Note *note = floatingNote(QStringLiteral("Arrastrada"));
    coordinator->open(note);
    NoteWindowView *content = shownView(note);
    FakePanel *panel = fakePanel(note);
    const QRectF paper = content->paperRect();
    ASSERT_EQ(paper, QRectF(24, 24, 332, 292));

    // Paper with no control on it: the body's margin, and the gap above the action bar.
    NoteEditorView *editor = content->body()->editor();
    press(content, QPointF(paper.left() + 11, paper.center().y()));
    press(content, editor->mapTo(content, QPointF(editor->width() / 2.0, editor->height() + 5)));
    EXPECT_EQ(panel->userMoveCount, 2);

    // The editor keeps its presses.
    press(content, editor->mapTo(content, editor->rect().center()));
    EXPECT_EQ(panel->userMoveCount, 2);
    EXPECT_TRUE(panel->userResizeEdges.isEmpty());

    press(content, QPointF(paper.left() + 2, paper.center().y()));
    press(content, QPointF(paper.right() + 3, paper.center().y()));
    press(content, QPointF(paper.center().x(), paper.bottom() - 1));
    press(content, QPointF(paper.left() + 1, paper.top() + 1));
    press(content, QPointF(paper.right() - 2, paper.top() + 12));
    const QList<Qt::Edges> expected{Qt::LeftEdge, Qt::RightEdge, Qt::BottomEdge,
                                    Qt::LeftEdge | Qt::TopEdge, Qt::RightEdge | Qt::TopEdge};
    EXPECT_EQ(panel->userResizeEdges, expected);
    EXPECT_EQ(panel->userMoveCount, 2);

    // Only the paper and its rim take the mouse.
    EXPECT_TRUE(panel->takesMouseAt(paper.center()));
    EXPECT_TRUE(panel->takesMouseAt(paper.topLeft() - QPointF(4, 4)));
    EXPECT_FALSE(panel->takesMouseAt(QPointF(8, 8)));
    EXPECT_FALSE(panel->takesMouseAt(QPointF(190, 335)));

    // A bigger window moves its paper's far edges, and what takes the mouse follows.
    panel->setFrame(QRectF(panel->frame().topLeft(), QSizeF(500, 400)));
    QCoreApplication::processEvents();
    EXPECT_EQ(content->paperRect(), QRectF(24, 24, 452, 352));
    EXPECT_TRUE(panel->takesMouseAt(QPointF(470, 370)));
}

TEST_F(FloatingNotesTest, WithoutCompositingOnlyThePaperIsShown)
{
    Note *note = floatingNote(QStringLiteral("Recortada"));
    coordinator->open(note);
    FakePanel *panel = fakePanel(note);
    EXPECT_FALSE(panel->visibleRegion()) << "composited: the shadow shows too";

    windows.setCompositing(false);
    ASSERT_TRUE(panel->visibleRegion());
    const QRegion region = *panel->visibleRegion();
    EXPECT_TRUE(region.contains(QPoint(190, 170)));
    EXPECT_TRUE(region.contains(QPoint(25, 170)));
    EXPECT_FALSE(region.contains(QPoint(10, 170)));
    EXPECT_FALSE(region.contains(QPoint(25, 25))) << "the rounded corner is cut";

    windows.setCompositing(true);
    EXPECT_FALSE(panel->visibleRegion());
}

class NoteWindowLook : public ::testing::TestWithParam<ColorScheme>
{
protected:
    void SetUp() override { BundledFonts::registerAll(); }
    ScopedDefaults defaults;
};

TEST_P(NoteWindowLook, PaperGradientBorderAndShadowInsideTheMargin)
{
    const ColorScheme scheme = GetParam();
    auto container = makeMemoryContainer();
    ModelContext *context = container->mainContext();
    Note *note = ViewTest::insertNote(
        *context, QStringLiteral("Lista de la compra"),
        QStringLiteral("Pan, tomates y aceite.\nLlamar a Marta antes del jueves."), NoteColor::sky);
    NoteWindowView window(note, NoteCardActions{}, ViewTest::environment(context, scheme));
    window.resize(380, 340);
    window.show();
    QCoreApplication::processEvents();

    const QImage image = ViewTest::render(window);
    const bool dark = scheme == ColorScheme::dark;
    ASSERT_TRUE(ViewTest::saveArtifact(image, dark ? QStringLiteral("floating-note-dark")
                                                   : QStringLiteral("floating-note-light")));

    const NotePaint paint = NoteColors::paint(NoteColor::sky, scheme);
    EXPECT_EQ(window.paint(), paint);
    const QRectF paper = window.paperRect();
    // A strip of bare paper inside the body's own margin: surface at the top, deep below.
    const QColor top = ViewTest::pixel(image, QPointF(paper.left() + 8, paper.top() + 30));
    const QColor bottom = ViewTest::pixel(image, QPointF(paper.left() + 8, paper.bottom() - 4));
    EXPECT_LE(ViewTest::distance(top, ViewTest::mix(paint.surface, paint.deep, 0.1)), 8);
    EXPECT_LE(ViewTest::distance(bottom, ViewTest::mix(paint.surface, paint.deep, 0.99)), 8);

    // The window's corner stays clear; the shadow falls below the paper, darker in the dark.
    EXPECT_EQ(ViewTest::pixel(image, QPointF(1, 1)).alpha(), 0);
    const int below =
        ViewTest::pixel(image, QPointF(paper.center().x(), paper.bottom() + 6)).alpha();
    const int above = ViewTest::pixel(image, QPointF(paper.center().x(), paper.top() - 6)).alpha();
    EXPECT_GT(below, above);
    EXPECT_GT(below, dark ? 60 : 20);
    EXPECT_LT(below, dark ? 160 : 70);
    // The shadow is even along the paper's bottom: no seam where its halves meet.
    const int middle = int(paper.center().x());
    const int left = ViewTest::pixel(image, QPointF(middle - 1, paper.bottom() + 6)).alpha();
    const int right = ViewTest::pixel(image, QPointF(middle + 1, paper.bottom() + 6)).alpha();
    EXPECT_LE(std::abs(left - right), 1);
    // Rounded corners: the paper's own corner point is not paper.
    EXPECT_GT(ViewTest::distance(ViewTest::pixel(image, paper.topLeft() + QPointF(1, 1)),
                                 ViewTest::pixel(image, paper.topLeft() + QPointF(20, 20))),
              40);
}

INSTANTIATE_TEST_SUITE_P(Schemes, NoteWindowLook,
                         ::testing::Values(ColorScheme::light, ColorScheme::dark),
                         [](const auto &info) {
                             return info.param == ColorScheme::dark ? "dark" : "light";
                         });

} // namespace
