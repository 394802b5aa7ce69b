// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/NoteCommands.h"
#include "model/FloatingWindows.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/NoteActions.h"

#include "StoreSabotage.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class NoteCommandsTest : public ::testing::Test
{
protected:
    Note *add(const QString &edge, double sortIndex, NoteColor color = NoteColor::citrus)
    {
        auto note = std::make_unique<Note>();
        note->setEdgeToken(edge);
        note->setSortIndex(sortIndex);
        note->setColor(color);
        return context->insert(std::move(note));
    }

    std::unique_ptr<ModelContainer> container = makeMemoryContainer();
    ModelContext *context = container->mainContext();
};

class RecordingFloatingWindows : public FloatingWindows
{
public:
    void open(Note *note) override { opened << note; }
    void closeWindow(Note *note) override { closed << note; }
    QList<Note *> opened;
    QList<Note *> closed;
};

} // namespace

TEST_F(NoteCommandsTest, MakeNoteAppendsAndCyclesColours)
{
    Note *first = NoteActions::makeNote(*context, ScreenEdge::right);
    EXPECT_EQ(first->color(), NoteColor::citrus);
    EXPECT_EQ(first->sortIndex(), 0);
    EXPECT_EQ(first->edgeToken(), "right");
    EXPECT_TRUE(first->title().isEmpty());
    EXPECT_TRUE(context->hasChanges()) << "makeNote inserts but does not save";

    // Consecutive notes follow the cycle even before a save.
    QList<NoteColor> colours{first->color()};
    for (int i = 0; i < 6; ++i)
        colours << NoteActions::makeNote(*context, ScreenEdge::right)->color();
    EXPECT_EQ(colours, (QList<NoteColor>{NoteColor::citrus, NoteColor::coral, NoteColor::rose,
                                         NoteColor::lavender, NoteColor::sky, NoteColor::mint,
                                         NoteColor::citrus}));
    EXPECT_EQ(NoteActions::railNotes(ScreenEdge::right, *context).last()->sortIndex(), 6 * 1024);
}

TEST_F(NoteCommandsTest, MakeNoteFollowsTheLastNoteOfTheTargetRailOnly)
{
    add("right", 3000, NoteColor::mint);
    add("right", 10, NoteColor::rose);
    add("left", 9000, NoteColor::sky);
    Note *trashed = add("right", 50000, NoteColor::lavender);
    trashed->setDeletedAt(QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(context->save());

    Note *made = NoteActions::makeNote(*context, ScreenEdge::right);
    EXPECT_EQ(made->color(), NoteColor::citrus) << "after mint comes citrus";
    EXPECT_EQ(made->sortIndex(), 4024);

    Note *given = NoteActions::makeNote(*context, ScreenEdge::left, NoteColor::rose);
    EXPECT_EQ(given->color(), NoteColor::rose) << "a given colour ignores the cycle";
    EXPECT_EQ(given->sortIndex(), 9000 + 1024) << "but still appends";
}

TEST_F(NoteCommandsTest, FailedFetchTreatsTheRailAsEmpty)
{
    add("right", 3000, NoteColor::mint);
    EXPECT_TRUE(context->save());
    StoreSabotage sabotage(*container);
    sabotage.failReads();

    EXPECT_TRUE(NoteActions::railNotes(ScreenEdge::right, *context).isEmpty());
    Note *made = NoteActions::makeNote(*context, ScreenEdge::right);
    EXPECT_EQ(made->sortIndex(), 0);
    EXPECT_EQ(made->color(), NoteColor::citrus);
    EXPECT_EQ(NoteActions::makeNote(*context, ScreenEdge::right, NoteColor::sky)->color(),
              NoteColor::sky);

    Note *moving = add("left", 5);
    const auto commands = NoteCommands::forRail(ScreenEdge::left, context, nullptr);
    commands.move(moving, ScreenEdge::right);
    EXPECT_EQ(moving->sortIndex(), 0);
    EXPECT_TRUE(context->hasChanges()) << "the failed save keeps the change";
    sabotage.repair();
    EXPECT_TRUE(context->save());
}

TEST_F(NoteCommandsTest, GatherRepairsTokensThatReadAsTheTargetEdge)
{
    Note *left = add("left", 0);
    Note *right = add("right", 512);
    Note *oddToken = add("Left", 100); // reads as right, so it counts as already there
    EXPECT_TRUE(context->save());

    NoteActions::gather(ScreenEdge::right, *context);
    EXPECT_EQ(oddToken->sortIndex(), 0);
    EXPECT_EQ(right->sortIndex(), 1024);
    EXPECT_EQ(left->sortIndex(), 2048);
    EXPECT_EQ(oddToken->edgeToken(), "right") << "the odd token is rewritten";
    EXPECT_EQ(NoteActions::railNotes(ScreenEdge::right, *context).size(), 3);
}

TEST_F(NoteCommandsTest, GatherExample)
{
    Note *left0 = add("left", 0);
    Note *right0 = add("right", 0);
    Note *left1024 = add("left", 1024);
    Note *trashedRight = add("right", 512);
    trashedRight->setDeletedAt(QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(context->save());

    NoteActions::gather(ScreenEdge::right, *context);
    const QList<Note *> expected{right0, trashedRight, left0, left1024};
    for (qsizetype i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(expected[i]->sortIndex(), double(i) * 1024) << i;
        EXPECT_EQ(expected[i]->edgeToken(), "right") << i;
    }
    EXPECT_TRUE(trashedRight->isTrashed()) << "gather never changes the state";
    EXPECT_FALSE(context->hasChanges());
}

TEST_F(NoteCommandsTest, CommandsChangeOnlyTheirFieldsAndSave)
{
    RecordingFloatingWindows floating;
    const auto commands = NoteCommands::forRail(ScreenEdge::right, context, &floating);
    const QDateTime past = QDateTime::fromSecsSinceEpoch(1000, Qt::UTC);
    Note *note = add("right", 0);
    note->setUpdatedAt(past);
    EXPECT_TRUE(context->save());

    commands.complete(note);
    EXPECT_TRUE(note->isCompleted());
    commands.archive(note);
    EXPECT_TRUE(note->isArchived());
    commands.remove(note);
    EXPECT_TRUE(note->isTrashed());
    commands.reorder(note, -1024.5);
    EXPECT_EQ(note->sortIndex(), -1024.5);
    commands.open(note);
    EXPECT_TRUE(note->isFloating());
    EXPECT_EQ(floating.opened, QList<Note *>{note});
    EXPECT_EQ(note->updatedAt(), past) << "done, archive, trash, reorder, float keep updatedAt";
    EXPECT_FALSE(context->hasChanges());

    commands.recolor(note, NoteColor::sky);
    EXPECT_EQ(note->colorToken(), "sky");
    EXPECT_GT(note->updatedAt(), past);
    EXPECT_TRUE(note->completedAt() && note->deletedAt() && note->isArchived())
        << "no command brings a note back";

    const std::optional<QUuid> created = commands.create();
    ASSERT_TRUE(created);
    const auto notes = NoteActions::railNotes(ScreenEdge::right, *context);
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes.first()->id(), *created);
    EXPECT_FALSE(context->hasChanges());
}

TEST_F(NoteCommandsTest, MoveAppendsOnTheTargetRail)
{
    const auto commands = NoteCommands::forRail(ScreenEdge::left, context, nullptr);
    Note *a = add("left", 0);
    add("right", 2048);
    EXPECT_TRUE(context->save());

    commands.move(a, ScreenEdge::right);
    EXPECT_EQ(a->edgeToken(), "right");
    EXPECT_EQ(a->sortIndex(), 2048 + 1024);

    // Moving to its own edge appends after the current last, which is itself.
    commands.move(a, ScreenEdge::right);
    EXPECT_EQ(a->sortIndex(), 3072 + 1024);

    commands.move(a, ScreenEdge::left);
    EXPECT_EQ(a->sortIndex(), 0) << "an empty rail starts at 0";
}

TEST_F(NoteCommandsTest, FailedSaveLeavesTheChangeInTheContext)
{
    const auto commands = NoteCommands::forRail(ScreenEdge::right, context, nullptr);
    Note *note = add("right", 0);
    EXPECT_TRUE(context->save());
    StoreSabotage sabotage(*container);
    sabotage.failWrites();
    commands.complete(note);
    EXPECT_TRUE(note->isCompleted());
    EXPECT_TRUE(context->hasChanges());
    EXPECT_FALSE(commands.create() == std::nullopt) << "create still answers its note";
    sabotage.repair();
    EXPECT_TRUE(context->save());
    auto other = container->makeContext().value();
    EXPECT_EQ(other->fetchCount(NotePredicate::isNotNull(Note::Field::completedAt)), 1);
}
