// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/LibraryFilter.h"
#include "library/LibraryActions.h"
#include "model/FloatingWindows.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/NoteActions.h"

#include "StoreSabotage.h"
#include "TestSupport.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

using Item = LibraryActions::Item;

const QDateTime t0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);

class RecordingFloatingWindows : public FloatingWindows
{
public:
    void open(Note *note) override { opened << note; }
    void closeWindow(Note *note) override { closed << note; }
    QList<Note *> opened;
    QList<Note *> closed;
};

class LibraryTest : public ::testing::Test
{
protected:
    Note *add(const QString &title, const QString &body = {}, int minutes = 0)
    {
        auto note = std::make_unique<Note>();
        note->setTitle(title);
        note->setPlainText(body);
        note->setUpdatedAt(t0.addSecs(60 * minutes));
        return context->insert(std::move(note));
    }
    QStringList listed(LibraryFilter filter, const QString &search = {})
    {
        QStringList titles;
        const auto notes = context->fetch(filter.fetchDescriptor(search));
        for (const Note *note : notes.value_or(QList<Note *>()))
            titles << note->title();
        return titles;
    }
    // The one section that lists the note.
    std::optional<LibraryFilter> sectionOf(Note *note)
    {
        std::optional<LibraryFilter> found;
        for (const LibraryFilter filter : LibraryFilter::allCases()) {
            if (listed(filter).contains(note->title())) {
                EXPECT_FALSE(found) << note->title().toStdString() << " listed twice";
                found = filter;
            }
        }
        return found;
    }
    // What another context reads from the store: proof that the action saved.
    Note *saved(Note *note)
    {
        m_reader = container->makeContext().value();
        const auto notes = m_reader->fetch(
            FetchDescriptor{NotePredicate::equals(Note::Field::id, note->id()), {}, std::nullopt});
        return notes && !notes->isEmpty() ? notes->first() : nullptr;
    }

    std::unique_ptr<ModelContainer> container = makeMemoryContainer();
    ModelContext *context = container->mainContext();
    RecordingFloatingWindows floating;
    LibraryActions actions{context, &floating};
    std::unique_ptr<ModelContext> m_reader;
};

} // namespace

TEST_F(LibraryTest, EveryNoteIsListedInExactlyOneSection)
{
    Note *rail = add("en el borde");
    Note *floatingNote = add("suelta");
    floatingNote->setIsFloating(true);
    Note *strangeEdge = add("borde raro");
    strangeEdge->setEdgeToken("Left");
    Note *done = add("hecha");
    done->setCompletedAt(t0);
    Note *doneAndArchived = add("hecha y archivada");
    doneAndArchived->setCompletedAt(t0);
    doneAndArchived->setIsArchived(true);
    Note *archived = add("archivada");
    archived->setIsArchived(true);
    Note *doneAndTrashed = add("hecha y tirada");
    doneAndTrashed->setCompletedAt(t0);
    doneAndTrashed->setDeletedAt(t0);
    ASSERT_TRUE(context->save());

    EXPECT_EQ(sectionOf(rail), LibraryFilter::pinned);
    EXPECT_EQ(sectionOf(floatingNote), LibraryFilter::pinned);
    EXPECT_EQ(sectionOf(strangeEdge), LibraryFilter::pinned);
    EXPECT_EQ(sectionOf(done), LibraryFilter::completed);
    EXPECT_EQ(sectionOf(doneAndArchived), LibraryFilter::completed);
    EXPECT_EQ(sectionOf(archived), LibraryFilter::archived);
    EXPECT_EQ(sectionOf(doneAndTrashed), LibraryFilter::trashed);

    // Marked done elsewhere: it leaves "Archivadas" for "Hechas".
    auto elsewhere = container->makeContext().value();
    const auto copy = elsewhere->fetch(
        FetchDescriptor{NotePredicate::equals(Note::Field::id, archived->id()), {}, {}});
    ASSERT_TRUE(copy && copy->size() == 1);
    copy->first()->setCompletedAt(t0);
    ASSERT_TRUE(elsewhere->save());
    EXPECT_EQ(sectionOf(archived), LibraryFilter::completed);
}

TEST_F(LibraryTest, SearchIgnoresBlanksCaseAndAccentsNewestFirst)
{
    add("Café de la mañana", "", 1);
    add("Lista", "Comprar CAFÉ y pan", 3);
    add("Ideas", "nada que ver", 2);
    add("cafetera", "", 0)->setIsArchived(true);
    ASSERT_TRUE(context->save());

    EXPECT_EQ(listed(LibraryFilter::pinned), (QStringList{"Lista", "Ideas", "Café de la mañana"}));
    EXPECT_EQ(listed(LibraryFilter::pinned, "  \t "), listed(LibraryFilter::pinned));
    EXPECT_EQ(listed(LibraryFilter::pinned, " \tcafe  "),
              (QStringList{"Lista", "Café de la mañana"}));
    EXPECT_EQ(listed(LibraryFilter::pinned, "MANANA"), QStringList{"Café de la mañana"});
    EXPECT_EQ(listed(LibraryFilter::archived, "cafe"), QStringList{"cafetera"});
    EXPECT_EQ(listed(LibraryFilter::pinned, "cafe y "), QStringList{"Lista"})
        << "blanks inside the search are part of it";
    EXPECT_EQ(LibraryFilter::trimmedSearch(QStringLiteral("\u00a0 té\t")), "té");
}

TEST_F(LibraryTest, MenusMoveNotesBetweenSectionsWithoutTouchingTheirDate)
{
    // For each section, every item of its menu applied to a fresh note of that section.
    const QList<std::tuple<LibraryFilter, Item, std::optional<LibraryFilter>>> expectations{
        {LibraryFilter::pinned, Item::markDone, LibraryFilter::completed},
        {LibraryFilter::pinned, Item::archive, LibraryFilter::archived},
        {LibraryFilter::pinned, Item::moveToTrash, LibraryFilter::trashed},
        {LibraryFilter::completed, Item::returnToScreen, LibraryFilter::pinned},
        {LibraryFilter::completed, Item::archive, LibraryFilter::archived},
        {LibraryFilter::completed, Item::moveToTrash, LibraryFilter::trashed},
        {LibraryFilter::archived, Item::returnToScreen, LibraryFilter::pinned},
        {LibraryFilter::archived, Item::moveToTrash, LibraryFilter::trashed},
        {LibraryFilter::trashed, Item::restore, LibraryFilter::archived},
        {LibraryFilter::trashed, Item::deleteForever, std::nullopt},
    };
    int n = 0;
    for (const auto &[section, item, after] : expectations) {
        ++n;
        Note *note = add(QStringLiteral("nota %1").arg(n), "texto", n);
        if (section == LibraryFilter::completed)
            note->setCompletedAt(t0);
        if (section == LibraryFilter::archived || section == LibraryFilter::trashed)
            note->setIsArchived(true);
        if (section == LibraryFilter::trashed)
            note->setDeletedAt(t0);
        ASSERT_TRUE(context->save());
        ASSERT_EQ(sectionOf(note), section);

        const QList<LibraryActions::MenuEntry> menu = LibraryActions::menu(section);
        // A structured binding is not captured by clang 14's lambdas: a named copy is.
        const auto wanted = item;
        const bool offered = std::any_of(menu.begin(), menu.end(),
                                         [&](const auto &entry) { return entry.item == wanted; });
        EXPECT_TRUE(offered) << LibraryActions::text(item).toStdString();

        actions.perform(item, section, note);
        const std::string trace =
            section.rawValue().toStdString() + " / " + LibraryActions::text(item).toStdString();
        EXPECT_FALSE(context->hasChanges()) << trace;
        if (!after) {
            EXPECT_FALSE(saved(note)) << trace;
            continue;
        }
        EXPECT_EQ(sectionOf(note), *after) << trace;
        ASSERT_TRUE(saved(note)) << trace;
        EXPECT_EQ(saved(note)->updatedAt(), t0.addSecs(60 * n)) << trace;
        EXPECT_EQ(saved(note)->isArchived(), note->isArchived()) << trace;
    }
    EXPECT_EQ(LibraryActions::menu(LibraryFilter::archived).size(), 2) << "no Archivar there";
}

TEST_F(LibraryTest, ReturningPlacesTheNoteAfterTheLastOneOfItsEdge)
{
    // A floating note is on no rail, so its edge's rail is still empty after the change.
    Note *done = add("hecha");
    done->setEdgeToken("left");
    done->setSortIndex(100);
    done->setCompletedAt(t0);
    done->setIsFloating(true);
    ASSERT_TRUE(context->save());
    actions.returnToScreen(done);
    EXPECT_EQ(done->sortIndex(), 0);
    done->setIsFloating(false);

    // The note itself is now the last of its rail.
    done->setIsArchived(true);
    done->setSortIndex(5000);
    add("otra a la izquierda")->setEdgeToken("left");
    ASSERT_TRUE(context->save());
    actions.returnToScreen(done);
    EXPECT_EQ(done->sortIndex(), 6024);
    EXPECT_EQ(NoteActions::railNotes(ScreenEdge::left, *context).last(), done);

    done->setCompletedAt(t0);
    Note *right = add("a la derecha");
    right->setSortIndex(9000);
    ASSERT_TRUE(context->save());
    actions.returnToScreen(done);
    EXPECT_EQ(done->sortIndex(), 7048) << "only its own edge counts";
    EXPECT_EQ(saved(done)->sortIndex(), 7048);
}

TEST_F(LibraryTest, TrashingAFloatingNoteClosesItsWindowAndRestoresItToTheRail)
{
    Note *note = add("suelta");
    note->setIsFloating(true);
    ASSERT_TRUE(context->save());

    actions.moveToTrash(note);
    EXPECT_EQ(floating.closed, QList<Note *>{note});
    EXPECT_FALSE(saved(note)->isFloating());
    actions.restore(note);
    EXPECT_TRUE(NoteActions::railNotes(ScreenEdge::right, *context).contains(note));

    // Without a floating-notes coordinator the note is still trashed and unpinned.
    LibraryActions bare(context, nullptr);
    note->setIsFloating(true);
    bare.moveToTrash(note);
    EXPECT_TRUE(saved(note)->deletedAt());
    EXPECT_FALSE(saved(note)->isFloating());
    EXPECT_EQ(floating.closed.size(), 1);
}

TEST_F(LibraryTest, MarkingDoneOrArchivingAFloatingNoteClosesItsWindow)
{
    Note *done = add("hecha");
    done->setIsFloating(true);
    Note *archived = add("archivada");
    archived->setIsFloating(true);
    Note *doneThenArchived = add("hecha y luego archivada");
    doneThenArchived->setCompletedAt(t0);
    doneThenArchived->setIsFloating(true);
    ASSERT_TRUE(context->save());

    actions.perform(Item::markDone, LibraryFilter::pinned, done);
    actions.perform(Item::archive, LibraryFilter::pinned, archived);
    actions.perform(Item::archive, LibraryFilter::completed, doneThenArchived);

    EXPECT_EQ(floating.closed, (QList<Note *>{done, archived, doneThenArchived}));
    for (Note *note : {done, archived, doneThenArchived})
        EXPECT_FALSE(saved(note)->isFloating()) << note->title().toStdString();
    // Back on the screen it is on its rail, not in a window.
    actions.perform(Item::returnToScreen, LibraryFilter::completed, done);
    EXPECT_TRUE(NoteActions::railNotes(ScreenEdge::right, *context).contains(done));
    EXPECT_TRUE(floating.opened.isEmpty());
}

TEST_F(LibraryTest, EmptyingTheTrashDeletesOnlyTheListedTrashedNotesInOneSave)
{
    const QStringList titles{"xilófono", "caja", "éxito", "Xavier"};
    for (const QString &title : titles)
        add(title)->setDeletedAt(t0);
    add("xenón en pantalla");
    ASSERT_TRUE(context->save());

    QList<Note *> listedNotes =
        context->fetch(LibraryFilter(LibraryFilter::trashed).fetchDescriptor("x")).value();
    ASSERT_EQ(listedNotes.size(), 3);
    EXPECT_TRUE(LibraryActions::offersEmptyTrash(LibraryFilter::trashed, listedNotes.size()));
    EXPECT_FALSE(LibraryActions::offersEmptyTrash(LibraryFilter::trashed, 0));
    EXPECT_FALSE(LibraryActions::offersEmptyTrash(LibraryFilter::pinned, 3));

    // A listed note restored meanwhile (the list has not caught up) is kept.
    listedNotes.first()->setDeletedAt(std::nullopt);
    const QString restored = listedNotes.first()->title();
    QSignalSpy saves(context, &ModelContext::didSave);
    EXPECT_EQ(actions.emptyTrash(listedNotes), 2);
    EXPECT_EQ(saves.count(), 1);
    EXPECT_EQ(listed(LibraryFilter::trashed), QStringList{"caja"});
    EXPECT_TRUE(listed(LibraryFilter::pinned).contains(restored));

    Note *notTrashed = context->fetch(LibraryFilter().fetchDescriptor("xenón"))->first();
    actions.deleteForever(notTrashed);
    EXPECT_TRUE(saved(notTrashed)) << "only the trash deletes for good";
}

TEST_F(LibraryTest, AFailedSaveKeepsTheChangeForTheNextSave)
{
    Note *note = add("nota");
    ASSERT_TRUE(context->save());
    StoreSabotage sabotage(*container);
    sabotage.failWrites();
    actions.markDone(note);
    EXPECT_TRUE(note->isCompleted());
    EXPECT_TRUE(context->hasChanges());
    sabotage.repair();
    actions.archive(note, LibraryFilter::completed);
    EXPECT_FALSE(context->hasChanges());
    EXPECT_FALSE(saved(note)->completedAt());
    EXPECT_TRUE(saved(note)->isArchived());
}
