// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/WelcomeNotes.h"
#include "model/AppSettings.h"
#include "model/LocalKeyValueStore.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/StyledText.h"
#include "surfaces/NoteEditorView.h"
#include "surfaces/NoteTitleField.h"

#include "StoreSabotage.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

const QString atajosBody = QStringLiteral("⌥⌘N crea una nota desde cualquier app.\n"
                                          "Arrastra una pestaña para reordenarla.\n"
                                          "Botón derecho para pasarla al otro borde.");

class WelcomeNotesTest : public ::testing::Test
{
protected:
    QList<Note *> allNotes(ModelContext &from)
    {
        return from.fetch(FetchDescriptor{{}, {SortDescriptor{Note::Field::sortIndex, true}}, {}})
            .value_or(QList<Note *>());
    }
    QList<Note *> savedNotes()
    {
        m_reader = container->makeContext().value();
        return allNotes(*m_reader);
    }
    bool hasSeeded() const
    {
        return defaults.defaults().boolValue(AppSettings::Keys::hasSeededWelcomeNotes);
    }
    // Lets the delayed task run if it is going to.
    void runPastTheDelay()
    {
        waitUntil([] { return false; }, 80);
    }
    // The key-value store as another computer of the account writes it.
    void otherComputerSetsTheFlag()
    {
        LocalKeyValueStore other(keyValuePath());
        other.setBool(KeyValueStore::welcomeNotesCreated, true);
    }
    QString keyValuePath() const { return m_dir.filePath("keyvalues.json"); }
    Note *addSaved(const QString &title, const QString &body, const QDateTime &created,
                   const QUuid &id = QUuid::createUuid())
    {
        auto note =
            Note::make(title, StyledText::plain(body), NoteColor::mint, ScreenEdge::right, 0);
        note->setCreatedAt(created);
        // Made and given its text at once, as the seeding does.
        note->setUpdatedAt(created);
        note->setId(id);
        Note *inserted = context->insert(std::move(note));
        EXPECT_TRUE(context->save());
        return inserted;
    }

    QTemporaryDir m_dir;
    ScopedDefaults defaults;
    std::unique_ptr<ModelContainer> container = makeMemoryContainer();
    ModelContext *context = container->mainContext();
    LocalKeyValueStore keyValues{keyValuePath()};
    QObject owner;
    std::unique_ptr<ModelContext> m_reader;
};

} // namespace

TEST_F(WelcomeNotesTest, FirstLaunchSeedsThreeNotesAfterTheWait)
{
    defaults.defaults().setValue(AppSettings::Keys::defaultEdge, "left");
    WelcomeNotes::seedIfNeeded(&owner, context, &keyValues, 20ms);

    // Nothing is decided before the wait: the sync may still bring notes in.
    EXPECT_TRUE(allNotes(*context).isEmpty());
    EXPECT_FALSE(hasSeeded());

    ASSERT_TRUE(waitUntil([&] { return savedNotes().size() == 3; }));
    const QList<Note *> notes = savedNotes();
    const QList<WelcomeNotes::Entry> &entries = WelcomeNotes::entries();
    const QList<NoteColor> colours{NoteColor::citrus, NoteColor::mint, NoteColor::sky};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(notes[i]->title(), entries[i].title);
        EXPECT_EQ(notes[i]->plainText(), entries[i].body);
        EXPECT_FALSE(notes[i]->richText().isEmpty());
        EXPECT_EQ(notes[i]->color(), colours[i]);
        EXPECT_EQ(notes[i]->edgeToken(), "left");
        EXPECT_EQ(notes[i]->sortIndex(), i * 1024.0);
        EXPECT_TRUE(notes[i]->isOnRail(ScreenEdge::left));
    }
    EXPECT_EQ(notes[1]->plainText(), atajosBody);
    EXPECT_TRUE(hasSeeded());
    EXPECT_TRUE(keyValues.boolValue(KeyValueStore::welcomeNotesCreated));
    EXPECT_TRUE(LocalKeyValueStore(keyValuePath()).boolValue(KeyValueStore::welcomeNotesCreated))
        << "the account-wide flag is written for the other computers";

    // A second launch on this computer seeds nothing more.
    WelcomeNotes::seedIfNeeded(&owner, context, &keyValues, 1ms);
    runPastTheDelay();
    EXPECT_EQ(savedNotes().size(), 3);
}

TEST_F(WelcomeNotesTest, AnAccountThatHasTheNotesSeedsNothing)
{
    // Written by another computer after this store object read the document: only a
    // synchronize before reading sees it.
    otherComputerSetsTheFlag();
    WelcomeNotes::seedIfNeeded(&owner, context, &keyValues, 1ms);
    EXPECT_TRUE(hasSeeded()) << "decided at once";
    runPastTheDelay();
    EXPECT_TRUE(savedNotes().isEmpty());
}

TEST_F(WelcomeNotesTest, WhatArrivesDuringTheWaitPreventsTheSeeding)
{
    {
        SCOPED_TRACE("the account flag arrives");
        WelcomeNotes::seedIfNeeded(&owner, context, &keyValues, 30ms);
        otherComputerSetsTheFlag();
        ASSERT_TRUE(waitUntil([&] { return hasSeeded(); }));
        runPastTheDelay();
        EXPECT_TRUE(savedNotes().isEmpty());
    }
    defaults.defaults().remove(AppSettings::Keys::hasSeededWelcomeNotes);
    QFile::remove(keyValuePath());
    keyValues.synchronize();
    ASSERT_FALSE(keyValues.boolValue(KeyValueStore::welcomeNotesCreated));
    {
        SCOPED_TRACE("a trashed note arrives from the sync");
        WelcomeNotes::seedIfNeeded(&owner, context, &keyValues, 30ms);
        auto sync = container->makeContext().value();
        auto note = std::make_unique<Note>();
        note->setDeletedAt(QDateTime::currentDateTimeUtc());
        sync->insert(std::move(note));
        ASSERT_TRUE(sync->save());
        ASSERT_TRUE(waitUntil([&] { return hasSeeded(); }));
        runPastTheDelay();
        EXPECT_EQ(savedNotes().size(), 1);
        EXPECT_FALSE(keyValues.boolValue(KeyValueStore::welcomeNotesCreated))
            << "only a computer that created the notes sets the account flag";
    }
}

TEST_F(WelcomeNotesTest, NothingHappensOnceTheOwnerIsGone)
{
    auto shortLived = std::make_unique<QObject>();
    WelcomeNotes::seedIfNeeded(shortLived.get(), context, &keyValues, 10ms);
    WelcomeNotes::scheduleRemovalOfRepeatedCopies(shortLived.get(), context, 10ms);
    addSaved("Atajos", atajosBody, QDateTime::currentDateTimeUtc());
    addSaved("Atajos", atajosBody, QDateTime::currentDateTimeUtc());
    shortLived.reset();
    runPastTheDelay();
    EXPECT_FALSE(hasSeeded()) << "the next launch tries again";
    EXPECT_EQ(savedNotes().size(), 2);
    EXPECT_FALSE(keyValues.boolValue(KeyValueStore::welcomeNotesCreated));
}

TEST_F(WelcomeNotesTest, SeedCreatesNothingInAStoreWithNotesAndTakesAFailedCountAsEmpty)
{
    auto trashed = std::make_unique<Note>();
    trashed->setDeletedAt(QDateTime::currentDateTimeUtc());
    Note *only = context->insert(std::move(trashed));
    ASSERT_TRUE(context->save());
    EXPECT_FALSE(WelcomeNotes::seed(*context, ScreenEdge::right));
    EXPECT_EQ(allNotes(*context).size(), 1);

    context->remove(only);
    ASSERT_TRUE(context->save());
    StoreSabotage sabotage(*container);
    sabotage.failReads();
    EXPECT_TRUE(WelcomeNotes::seed(*context, ScreenEdge::right));
    EXPECT_TRUE(context->hasChanges()) << "the failed save keeps the notes for the next one";
    sabotage.repair();
    ASSERT_TRUE(context->save());
    EXPECT_EQ(savedNotes().size(), 3);
}

TEST_F(WelcomeNotesTest, RemovesOnlyNewerUntouchedCopies)
{
    const QDateTime t0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
    Note *trashedOldest = addSaved("Atajos", atajosBody, t0.addSecs(-60));
    trashedOldest->setDeletedAt(t0);
    Note *older = addSaved("Atajos", atajosBody, t0);
    Note *newer = addSaved("Atajos", atajosBody, t0.addSecs(5));
    Note *edited = addSaved("Atajos", atajosBody + " Y algo mío.", t0.addSecs(-30));
    Note *spaced = addSaved("Atajos", atajosBody + "\n", t0.addSecs(-20));
    Note *single = addSaved("iCloud", WelcomeNotes::entries()[2].body, t0.addSecs(9));
    ASSERT_TRUE(context->save());

    EXPECT_EQ(WelcomeNotes::removeRepeatedCopies(*context), 1);
    EXPECT_TRUE(newer->isDeleted());
    for (Note *kept : {trashedOldest, older, edited, spaced, single})
        EXPECT_FALSE(kept->isDeleted()) << kept->plainText().toStdString();
    EXPECT_EQ(savedNotes().size(), 5) << "the deletion is saved";
    EXPECT_EQ(WelcomeNotes::removeRepeatedCopies(*context), 0);
}

TEST_F(WelcomeNotesTest, EqualCreationTimesKeepTheSmallerUppercaseId)
{
    // Every computer must keep the same copy; with equal dates the id as uppercase text
    // decides (not the UUID's own ordering, which looks at its variant first), whatever
    // the order the store returns them in.
    const QDateTime t0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
    const QString body = WelcomeNotes::entries()[0].body;
    const QUuid high = QUuid::fromString(QStringLiteral("f0000000-0000-4000-8000-000000000000"));
    const QUuid low = QUuid::fromString(QStringLiteral("a0000000-0000-4000-0000-000000000000"));
    const QUuid digit = QUuid::fromString(QStringLiteral("90000000-0000-4000-8000-000000000000"));
    Note *f = addSaved("Bienvenida", body, t0, high);
    Note *a = addSaved("Bienvenida", body, t0, low);
    Note *nine = addSaved("Bienvenida", body, t0, digit);

    WelcomeNotes::scheduleRemovalOfRepeatedCopies(&owner, context, 1ms);
    ASSERT_TRUE(waitUntil([&] { return f->isDeleted() && a->isDeleted(); }));
    EXPECT_FALSE(nine->isDeleted());
}

TEST(WelcomeNotesDelay, EnvironmentCanShortenTheWait)
{
    const QByteArray saved = qgetenv(WelcomeNotes::launchDelayVariable);
    const auto delayFor = [](const char *value) {
        qputenv(WelcomeNotes::launchDelayVariable, value);
        return WelcomeNotes::launchDelayFromEnvironment();
    };
    EXPECT_EQ(delayFor("250"), 250ms);
    EXPECT_EQ(delayFor("0"), 0ms);
    for (const char *invalid : {"", "-5", "abc", "1.5"})
        EXPECT_EQ(delayFor(invalid), 20s) << invalid;
    qunsetenv(WelcomeNotes::launchDelayVariable);
    EXPECT_EQ(WelcomeNotes::launchDelayFromEnvironment(), 20s);
    if (!saved.isNull())
        qputenv(WelcomeNotes::launchDelayVariable, saved);
}

TEST(LocalKeyValueStore, ComputersSeeEachOthersValuesAfterSynchronizing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/keyvalues.json");
    LocalKeyValueStore here(path);
    LocalKeyValueStore there(path);
    QSignalSpy changes(&here, &KeyValueStore::didChangeExternally);

    here.setBool("a", true);
    EXPECT_FALSE(there.boolValue("a")) << "seen only after synchronizing";
    there.setBool("b", true);
    EXPECT_TRUE(there.boolValue("a"));
    EXPECT_TRUE(there.boolValue("b"));

    EXPECT_TRUE(here.synchronize());
    EXPECT_TRUE(here.boolValue("b")) << "writing one key keeps the keys others wrote";
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.first().first().toStringList(), QStringList{"b"});
    EXPECT_TRUE(here.synchronize());
    EXPECT_EQ(changes.count(), 1) << "nothing new, no signal";
}

TEST(LocalKeyValueStore, ADamagedOrUnwritableDocumentLosesNothingSetHere)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("keyvalues.json");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{\"welcomeNotesCreated\": tru");
    }
    LocalKeyValueStore store(path);
    EXPECT_FALSE(store.boolValue(KeyValueStore::welcomeNotesCreated));
    EXPECT_FALSE(store.synchronize());
    store.setBool(KeyValueStore::welcomeNotesCreated, true);
    EXPECT_TRUE(LocalKeyValueStore(path).boolValue(KeyValueStore::welcomeNotesCreated))
        << "the damaged document was replaced";

    // A folder stands where the document should be: the value waits in memory.
    const QString blocked = dir.filePath("blocked");
    ASSERT_TRUE(QDir().mkpath(blocked + "/keyvalues.json"));
    LocalKeyValueStore unwritable(blocked + "/keyvalues.json");
    unwritable.setBool("x", true);
    EXPECT_TRUE(unwritable.boolValue("x"));
    EXPECT_FALSE(unwritable.synchronize());
    EXPECT_TRUE(unwritable.boolValue("x"));
    ASSERT_TRUE(QDir(blocked + "/keyvalues.json").removeRecursively());
    EXPECT_TRUE(unwritable.synchronize()) << "written at the next chance";
    EXPECT_TRUE(LocalKeyValueStore(blocked + "/keyvalues.json").boolValue("x"));
}

TEST_F(WelcomeNotesTest, CopiesThatArriveLaterFromAnotherComputerAreRemovedToo)
{
    const QDateTime t0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
    const WelcomeNotes::Entry &first = WelcomeNotes::entries()[0];
    Note *ours = addSaved(first.title, first.body, t0);
    WelcomeNotes::scheduleRemovalOfRepeatedCopies(&owner, context, 1ms, 20ms);
    runPastTheDelay();
    EXPECT_FALSE(ours->isDeleted());

    // The other computer made its copies a moment earlier; they come in through the
    // mirroring's own context.
    auto mirroring = container->makeContext().value();
    auto theirs = Note::make(first.title, StyledText::plain(first.body), NoteColor::citrus,
                             ScreenEdge::right, 0);
    theirs->setCreatedAt(t0.addSecs(-3));
    theirs->setUpdatedAt(t0.addSecs(-3));
    const QUuid theirId = theirs->id();
    mirroring->insert(std::move(theirs));
    ASSERT_TRUE(mirroring->save());

    ASSERT_TRUE(waitUntil([&] { return ours->isDeleted(); }))
        << "every computer keeps the oldest copy, here theirs";
    const QList<Note *> left = savedNotes();
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left.first()->id(), theirId);
}

TEST_F(WelcomeNotesTest, ACopyOpenInAnEditorOrChangedByThePersonIsNeverRemoved)
{
    const QDateTime t0 = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
    const WelcomeNotes::Entry &atajos = WelcomeNotes::entries()[1];
    Note *oldest = addSaved(atajos.title, atajos.body, t0);
    Note *open = addSaved(atajos.title, atajos.body, t0.addSecs(5));
    Note *recoloured = addSaved(atajos.title, atajos.body, t0.addSecs(6));
    recoloured->setColor(NoteColor::rose);
    recoloured->setUpdatedAt(t0.addSecs(600));
    Note *putBack = addSaved(atajos.title, atajos.body, t0.addSecs(7));
    // Edited, then the text typed back to what it was: the date still tells.
    putBack->setText(StyledText::plain(atajos.body + " borrador"));
    putBack->setText(StyledText::plain(atajos.body));
    ASSERT_TRUE(context->save());

    NoteSurfaceEnvironment environment;
    environment.context = context;
    environment.saveDelay = 10min;
    auto editor = std::make_unique<NoteEditorView>(open, NotePaint{}, false,
                                                   NoteEditorView::initialText(*open), environment);
    editor->moveCursor(QTextCursor::End);
    editor->insertPlainText(QStringLiteral(" Y lo mío."));
    ASSERT_TRUE(editor->hasPendingSave()) << "the typing is not in the note yet";

    EXPECT_EQ(WelcomeNotes::removeRepeatedCopies(*context), 0);
    for (Note *kept : {oldest, open, recoloured, putBack})
        EXPECT_FALSE(kept->isDeleted());

    editor.reset();
    EXPECT_EQ(open->plainText(), atajos.body + " Y lo mío.") << "written when the editor went";
    EXPECT_EQ(WelcomeNotes::removeRepeatedCopies(*context), 0) << "no longer a copy";

    // A title field alone holds its note too, until it goes.
    Note *another = addSaved(atajos.title, atajos.body, t0.addSecs(8));
    auto title = std::make_unique<NoteTitleField>(another, NotePaint{}, environment);
    EXPECT_EQ(WelcomeNotes::removeRepeatedCopies(*context), 0);
    EXPECT_FALSE(another->isDeleted());
    title.reset();
    EXPECT_EQ(WelcomeNotes::removeRepeatedCopies(*context), 1);
    EXPECT_TRUE(another->isDeleted()) << "an untouched copy, once closed, goes as before";
    EXPECT_FALSE(oldest->isDeleted());
}
