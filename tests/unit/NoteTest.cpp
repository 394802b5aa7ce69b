// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Note.h"
#include "model/ModelContext.h"
#include "model/StyledText.h"

#include "TestSupport.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

std::unique_ptr<Note> noteWith(auto &&configure)
{
    auto note = std::make_unique<Note>();
    configure(*note);
    return note;
}

} // namespace

TEST(Note, DefaultsFollowTheSchema)
{
    const Note note;
    EXPECT_FALSE(note.id().isNull());
    EXPECT_TRUE(note.title().isEmpty());
    EXPECT_TRUE(note.richText().isEmpty());
    EXPECT_TRUE(note.plainText().isEmpty());
    EXPECT_EQ(note.colorToken(), "citrus");
    EXPECT_EQ(note.edgeToken(), "right");
    EXPECT_EQ(note.sortIndex(), 0);
    EXPECT_TRUE(note.createdAt().isValid());
    EXPECT_EQ(note.createdAt(), note.updatedAt());
    EXPECT_FALSE(note.isArchived());
    EXPECT_FALSE(note.deletedAt());
    EXPECT_FALSE(note.isFloating());
    EXPECT_FALSE(note.completedAt());
    EXPECT_NE(Note().id(), note.id());
}

TEST(Note, MakeTakesItsFiveInputs)
{
    const auto note =
        Note::make("Compra", StyledText::plain("pan\nleche"), NoteColor::sky, ScreenEdge::left, 42);
    EXPECT_EQ(note->title(), "Compra");
    EXPECT_EQ(note->plainText(), "pan\nleche");
    EXPECT_FALSE(note->richText().isEmpty());
    EXPECT_EQ(note->colorToken(), "sky");
    EXPECT_EQ(note->edgeToken(), "left");
    EXPECT_EQ(note->sortIndex(), 42);
    EXPECT_GE(note->updatedAt(), note->createdAt());

    const auto empty = Note::make({}, StyledText(), NoteColor::mint, ScreenEdge::right, 0);
    EXPECT_TRUE(empty->plainText().isEmpty());
    EXPECT_EQ(empty->displayTitle(), "Nota sin título");
}

TEST(Note, TokensFallBack)
{
    Note note;
    for (const char *token : {"teal", "", "Citrus", "CORAL"}) {
        note.setColorToken(token);
        EXPECT_EQ(note.color(), NoteColor::citrus) << token;
        EXPECT_EQ(note.colorToken(), token) << "the stored token stays until recoloured";
    }
    note.setColor(NoteColor::lavender);
    EXPECT_EQ(note.colorToken(), "lavender");

    for (const char *token : {"Left", "LEFT", "", "left ", "up"}) {
        note.setEdgeToken(token);
        EXPECT_EQ(note.edge(), ScreenEdge::right) << token;
        EXPECT_FALSE(note.isOnRail(ScreenEdge::left)) << token;
        EXPECT_FALSE(note.isOnRail(ScreenEdge::right)) << "an odd token is on no rail: " << token;
    }
    note.setEdgeToken("left");
    EXPECT_EQ(note.edge(), ScreenEdge::left);
    EXPECT_TRUE(note.isOnRail(ScreenEdge::left));
}

TEST(Note, EveryNoteIsInExactlyOneLibraryState)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    // Every combination of the four flags that decide the state.
    for (int mask = 0; mask < 16; ++mask) {
        const auto note = noteWith([&](Note &n) {
            n.setCompletedAt(mask & 1 ? std::optional(now) : std::nullopt);
            n.setDeletedAt(mask & 2 ? std::optional(now) : std::nullopt);
            n.setIsArchived(mask & 4);
            n.setIsFloating(mask & 8);
        });
        const int states = int(note->isPinned()) + int(note->isInCompletedSection()) +
                           int(note->isInArchivedSection()) + int(note->isTrashed());
        EXPECT_EQ(states, 1) << "mask " << mask;
        EXPECT_EQ(note->isCompleted(), bool(mask & 1));
        EXPECT_EQ(note->isOnRail(ScreenEdge::right), mask == 0) << "mask " << mask;
    }
    // Done and trashed: trash only. Archived and done: completed section.
    const auto both = noteWith([&](Note &n) {
        n.setCompletedAt(now);
        n.setDeletedAt(now);
    });
    EXPECT_TRUE(both->isTrashed());
    EXPECT_FALSE(both->isInCompletedSection());
    const auto archivedDone = noteWith([&](Note &n) {
        n.setIsArchived(true);
        n.setCompletedAt(now);
    });
    EXPECT_TRUE(archivedDone->isInCompletedSection());
    EXPECT_FALSE(archivedDone->isInArchivedSection());
    const auto floating = noteWith([&](Note &n) { n.setIsFloating(true); });
    EXPECT_TRUE(floating->isPinned());
    EXPECT_FALSE(floating->isOnRail(ScreenEdge::right));
}

TEST(Note, FieldSignalsFireOnlyOnRealChanges)
{
    Note note;
    QSignalSpy title(&note, &Note::titleChanged);
    QSignalSpy any(&note, &Note::changed);
    note.setTitle("Hola");
    note.setTitle("Hola");
    EXPECT_EQ(title.count(), 1);
    note.setSortIndex(3);
    note.setCompletedAt(std::nullopt);
    EXPECT_EQ(any.count(), 2) << "clearing an absent date is no change";
}

TEST(Note, SetTextWritesBodyAndDateButNeverTitle)
{
    Note note;
    note.setTitle("Mío");
    note.setUpdatedAt(QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    note.setText(StyledText::plain("uno\ndos"));
    EXPECT_EQ(note.title(), "Mío");
    EXPECT_EQ(note.plainText(), "uno\ndos");
    EXPECT_FALSE(note.richText().isEmpty());
    EXPECT_GT(note.updatedAt(), QDateTime::fromSecsSinceEpoch(0, Qt::UTC));

    note.setText(StyledText());
    EXPECT_TRUE(note.plainText().isEmpty());
}

TEST(Note, DisplayTitle)
{
    Note note;
    EXPECT_EQ(note.displayTitle(), "Nota sin título");
    note.setPlainText("\n\n  palabra \nsegunda");
    EXPECT_EQ(note.displayTitle(), "palabra");
    note.setPlainText("   \npalabra");
    EXPECT_EQ(note.displayTitle(), "Nota sin título") << "the first non-empty line decides";
    note.setPlainText("\t uno\t");
    EXPECT_EQ(note.displayTitle(), "uno");
    note.setTitle(" ");
    EXPECT_EQ(note.displayTitle(), " ") << "a typed title is never trimmed";
}

TEST(Note, EqualityIsTheStoredRecordNotTheId)
{
    auto container = makeMemoryContainer();
    ModelContext *context = container->mainContext();
    Note *a = context->insert(std::make_unique<Note>());
    Note *b = context->insert(std::make_unique<Note>());
    b->setId(a->id());
    ASSERT_TRUE(context->save());
    EXPECT_FALSE(*a == *b) << "same id, different records";
    EXPECT_NE(qHash(*a), qHash(*b));

    auto other = container->makeContext().value();
    const auto fetched = other->fetch({});
    ASSERT_TRUE(fetched);
    ASSERT_EQ(fetched->size(), 2);
    const Note *sameAsA = sameRecord(fetched->at(0), a) ? fetched->at(0) : fetched->at(1);
    EXPECT_TRUE(*sameAsA == *a) << "the same record seen from another context";
    EXPECT_EQ(qHash(*sameAsA), qHash(*a));
}
