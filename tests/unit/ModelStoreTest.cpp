// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/LiveQuery.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/NotePredicate.h"

#include "StoreSabotage.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

Note *addNote(ModelContext &context, const QString &title, double sortIndex = 0,
              const QString &body = {})
{
    auto note = std::make_unique<Note>();
    note->setTitle(title);
    note->setSortIndex(sortIndex);
    note->setPlainText(body);
    return context.insert(std::move(note));
}

QStringList titles(const Expected<QList<Note *>, StoreError> &notes)
{
    QStringList out;
    if (notes) {
        for (const Note *note : *notes)
            out << note->title();
    }
    return out;
}

FetchDescriptor byTitle(const NotePredicate &predicate = {})
{
    return FetchDescriptor{predicate, {SortDescriptor{Note::Field::title, true}}, std::nullopt};
}

class OnDiskStore : public ::testing::Test
{
protected:
    QString storePath() const { return m_dir.filePath("default.store"); }
    std::unique_ptr<ModelContainer> open()
    {
        auto container = ModelContainer::create(ModelConfiguration::onDisk(storePath(), true));
        EXPECT_TRUE(container) << (container ? "" : container.error().description.toStdString());
        return container ? std::move(container).value() : nullptr;
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(OnDiskStore, KeepsNotesInAWalStoreAcrossOpenings)
{
    {
        auto container = open();
        ModelContext *context = container->mainContext();
        Note *note = addNote(*context, "Café con leche", 5, "¿Mañana?");
        note->setDeletedAt(QDateTime::fromMSecsSinceEpoch(1234567, Qt::UTC));
        ASSERT_TRUE(context->save());
        EXPECT_TRUE(QFileInfo::exists(storePath() + "-wal"));
        EXPECT_TRUE(QFileInfo::exists(storePath() + "-shm"));
    }
    auto container = open();
    const auto notes = container->mainContext()->fetch({});
    ASSERT_TRUE(notes);
    ASSERT_EQ(notes->size(), 1);
    const Note *note = notes->first();
    EXPECT_EQ(note->title(), "Café con leche");
    EXPECT_EQ(note->plainText(), "¿Mañana?");
    EXPECT_EQ(note->sortIndex(), 5);
    EXPECT_EQ(note->deletedAt(), QDateTime::fromMSecsSinceEpoch(1234567, Qt::UTC));
    EXPECT_FALSE(note->completedAt());
    EXPECT_FALSE(container->mainContext()->hasChanges());
}

TEST(ModelStore, OneObjectPerRecordPerContext)
{
    auto container = makeMemoryContainer();
    ModelContext *context = container->mainContext();
    Note *inserted = addNote(*context, "a");
    EXPECT_TRUE(inserted->persistentModelID().isValid());
    ASSERT_TRUE(context->save());
    const auto first = context->fetch({});
    const auto second = context->fetch(byTitle(NotePredicate::equals(Note::Field::title, "a")));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->first(), inserted);
    EXPECT_EQ(second->first(), inserted);
    EXPECT_EQ(context->registeredModel(inserted->persistentModelID()), inserted);
}

TEST(ModelStore, FailedSaveKeepsTheChangesForTheNextSave)
{
    auto container = makeMemoryContainer();
    ModelContext *context = container->mainContext();
    StoreSabotage sabotage(*container);
    sabotage.failWrites();

    addNote(*context, "no se pierde");
    const auto saved = context->save();
    ASSERT_FALSE(saved);
    EXPECT_FALSE(saved.error().description.isEmpty());
    EXPECT_TRUE(context->hasChanges());
    EXPECT_EQ(titles(context->fetch({})), QStringList{"no se pierde"})
        << "unsaved inserts stay visible to the context";

    auto other = container->makeContext().value();
    EXPECT_EQ(other->fetchCount({}), 0) << "nothing half-written reached the store";

    sabotage.repair();
    EXPECT_TRUE(context->save());
    EXPECT_FALSE(context->hasChanges());
    EXPECT_EQ(other->fetchCount({}), 1);
}

TEST(ModelStore, SecondContextSeesSavedChangesAndDeletions)
{
    auto container = makeMemoryContainer();
    ModelContext *main = container->mainContext();
    auto background = container->makeContext().value();
    Note *note = addNote(*main, "uno");
    EXPECT_EQ(background->fetchCount({}), 0) << "unsaved work is private to its context";
    ASSERT_TRUE(main->save());

    const auto seen = background->fetch({});
    ASSERT_TRUE(seen);
    ASSERT_EQ(seen->size(), 1);
    Note *copy = seen->first();
    EXPECT_NE(copy, note);

    QSignalSpy remote(main, &ModelContext::remoteChange);
    QSignalSpy titleChanged(note, &Note::titleChanged);
    copy->setTitle("dos");
    ASSERT_TRUE(background->save());
    EXPECT_EQ(remote.count(), 1);
    EXPECT_EQ(note->title(), "dos") << "the main context's object is refreshed";
    EXPECT_EQ(titleChanged.count(), 1);
    EXPECT_FALSE(main->hasChanges()) << "a refresh is not an edit";

    background->remove(copy);
    ASSERT_TRUE(background->save());
    EXPECT_TRUE(copy->isDeleted());
    EXPECT_TRUE(note->isDeleted());
    EXPECT_EQ(main->fetchCount({}), 0);
}

TEST(ModelStore, UnsavedEditsTakePartInFetchesAndWinOverRefreshes)
{
    auto container = makeMemoryContainer();
    ModelContext *context = container->mainContext();
    addNote(*context, "a", 3);
    Note *b = addNote(*context, "b", 1);
    Note *c = addNote(*context, "c", 2);
    ASSERT_TRUE(context->save());

    c->setSortIndex(0);
    context->remove(b);
    Note *d = addNote(*context, "d", 1.5);
    const FetchDescriptor bySortIndex{{}, {SortDescriptor{Note::Field::sortIndex, true}}, {}};
    EXPECT_EQ(titles(context->fetch(bySortIndex)), (QStringList{"c", "d", "a"}));
    EXPECT_EQ(context->fetchCount({}), 3);
    FetchDescriptor limited = bySortIndex;
    limited.fetchLimit = 2;
    EXPECT_EQ(titles(context->fetch(limited)), (QStringList{"c", "d"}));

    // Another context changes the record this one is editing: the local edit of the
    // field wins, the other field follows the store.
    auto other = container->makeContext().value();
    const auto theirs = other->fetch(byTitle(NotePredicate::equals(Note::Field::title, "c")));
    ASSERT_TRUE(theirs && theirs->size() == 1);
    theirs->first()->setSortIndex(99);
    theirs->first()->setTitle("C");
    ASSERT_TRUE(other->save());
    EXPECT_EQ(c->sortIndex(), 0);
    EXPECT_EQ(c->title(), "C");

    ASSERT_TRUE(context->save());
    EXPECT_TRUE(b->isDeleted());
    EXPECT_FALSE(d->isDeleted());
    EXPECT_EQ(other->fetchCount(NotePredicate::equals(Note::Field::sortIndex, 0.0)), 1);
}

TEST(ModelStore, ASaveWritesOnlyTheFieldsItChanged)
{
    auto container = makeMemoryContainer();
    ModelContext *main = container->mainContext();
    Note *note = addNote(*main, "antes");
    ASSERT_TRUE(main->save());

    // An import changes the colour while this context is editing the title.
    note->setTitle("mi título");
    auto other = container->makeContext().value();
    Note *theirs = other->fetch({})->first();
    theirs->setColorToken("mint");
    theirs->setTitle("su título");
    ASSERT_TRUE(other->save());
    EXPECT_EQ(note->colorToken(), "mint") << "fields not edited here follow the store";
    EXPECT_EQ(note->title(), "mi título") << "the unsaved edit stays";

    ASSERT_TRUE(main->save());
    auto reader = container->makeContext().value();
    const Note *stored = reader->fetch({})->first();
    EXPECT_EQ(stored->title(), "mi título");
    EXPECT_EQ(stored->colorToken(), "mint") << "the other change is not overwritten";
    EXPECT_EQ(reader->fetchCount(NotePredicate::contains(Note::Field::title, "MI TITULO")), 1)
        << "the search column follows the title";
}

TEST(ModelStore, Predicates)
{
    auto container = makeMemoryContainer();
    ModelContext *context = container->mainContext();
    addNote(*context, "Café", 0, "con LECHE");
    Note *done = addNote(*context, "Té", 1, "verde");
    done->setCompletedAt(QDateTime::currentDateTimeUtc());
    Note *left = addNote(*context, "Niño", 2, "año nuevo");
    left->setEdgeToken("left");
    addNote(*context, "Otro", 3, "cafetería");

    // Run every query twice: once with unsaved changes (evaluated in memory), once saved (SQL).
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "unsaved" : "saved");
        const auto search = [&](const QString &needle) {
            return titles(
                context->fetch(byTitle(NotePredicate::contains(Note::Field::title, needle) ||
                                       NotePredicate::contains(Note::Field::plainText, needle))));
        };
        EXPECT_EQ(search("cafe"), (QStringList{"Café", "Otro"}));
        EXPECT_EQ(search("CAFÉ"), (QStringList{"Café", "Otro"}));
        EXPECT_EQ(search("nino"), QStringList{"Niño"});
        EXPECT_EQ(search("leche"), QStringList{"Café"});
        EXPECT_EQ(search("ANO NUE"), QStringList{"Niño"});
        EXPECT_TRUE(search("zzz").isEmpty());

        EXPECT_EQ(
            titles(context->fetch(byTitle(NotePredicate::isNotNull(Note::Field::completedAt)))),
            QStringList{"Té"});
        EXPECT_EQ(titles(context->fetch(byTitle(!NotePredicate::isNull(Note::Field::completedAt)))),
                  QStringList{"Té"});
        EXPECT_EQ(titles(context->fetch(byTitle(NotePredicate::onRail(ScreenEdge::right)))),
                  (QStringList{"Café", "Otro"}));
        EXPECT_EQ(titles(context->fetch(byTitle(NotePredicate::onRail(ScreenEdge::left)))),
                  QStringList{"Niño"});
        EXPECT_EQ(context->fetchCount(NotePredicate::equals(Note::Field::edgeToken, "left") ||
                                      NotePredicate::equals(Note::Field::title, "Té")),
                  2);
        EXPECT_EQ(context->fetchCount(NotePredicate::conjunction({})), 4);
        EXPECT_EQ(context->fetchCount(NotePredicate::disjunction({})), 0);
        EXPECT_EQ(context->fetchCount(NotePredicate::contains(Note::Field::colorToken, "CITR")), 4)
            << "contains works on fields without a search column too";

        const auto newest =
            context->fetch(FetchDescriptor{{}, {SortDescriptor{Note::Field::sortIndex, false}}, 1});
        EXPECT_EQ(titles(newest), QStringList{"Otro"});
        ASSERT_TRUE(context->save());
    }
}

TEST(ModelStore, LiveQueryFollowsSavesOfAnyContext)
{
    auto container = makeMemoryContainer();
    ModelContext *context = container->mainContext();
    LiveQuery rail(context, FetchDescriptor{NotePredicate::onRail(ScreenEdge::right),
                                            {SortDescriptor{Note::Field::sortIndex, true}},
                                            {}});
    QSignalSpy changed(&rail, &LiveQuery::resultsChanged);
    EXPECT_TRUE(rail.results().isEmpty());

    Note *a = addNote(*context, "a", 1);
    ASSERT_TRUE(context->save());
    EXPECT_EQ(rail.results(), QList<Note *>{a});

    a->setTitle("otra cosa");
    ASSERT_TRUE(context->save());
    EXPECT_EQ(changed.count(), 1) << "a field change that keeps the list is not a list change";

    auto other = container->makeContext().value();
    const auto notes = other->fetch({});
    notes->first()->setIsArchived(true);
    ASSERT_TRUE(other->save());
    EXPECT_TRUE(rail.results().isEmpty());
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(OnDiskStore, SeesWritesOfAnotherProcess)
{
    auto container = open();
    ModelContext *context = container->mainContext();
    Note *mine = addNote(*context, "mía");
    ASSERT_TRUE(context->save());
    QSignalSpy remote(container.get(), &ModelContainer::remoteChange);

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {"--child-write-note", storePath(), "de otro proceso"});
    ASSERT_TRUE(child.waitForFinished(10000));
    ASSERT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();

    EXPECT_TRUE(waitUntil([&] { return remote.count() > 0; }, 5000));
    EXPECT_EQ(context->fetchCount({}), 2);
    EXPECT_EQ(mine->title(), "mía");
}
