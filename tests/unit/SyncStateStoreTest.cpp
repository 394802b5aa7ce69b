// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncStateStore.h"
#include "model/ModelContainer.h"

#include "TestSupport.h"

#include <QUuid>
#include <gtest/gtest.h>

namespace {

SyncStateEntry entryNamed(const QString &name, const QString &title, qint64 time)
{
    SyncStateEntry entry;
    entry.recordName = name;
    entry.record.recordName = name;
    entry.record.set(Note::Field::id, QUuid::createUuid().toString(QUuid::WithoutBraces), time);
    entry.record.set(Note::Field::title, title, time);
    return entry;
}

} // namespace

// A pass reads the whole table several times; what it reads must always be what the table
// holds now, however much is remembered from the reads before.
TEST(SyncStateStoreTest, LoadsFollowTheTableAndHashesFollowTheRecords)
{
    auto container = makeMemoryContainer();
    SyncStateStore store;
    ASSERT_TRUE(store.open(container->databaseUri()));
    const QString uno = QStringLiteral("A");
    const QString dos = QStringLiteral("B");
    ASSERT_TRUE(store.save(
        {entryNamed(uno, QStringLiteral("Uno"), 1), entryNamed(dos, QStringLiteral("Dos"), 1)}));

    auto first = store.load();
    ASSERT_TRUE(first);
    ASSERT_EQ(first->size(), 2);
    EXPECT_EQ(first->value(uno).record.value(Note::Field::title).toString(), QStringLiteral("Uno"));
    const QByteArray unoHash = store.loadedContentHash(uno);
    const QByteArray dosHash = store.loadedContentHash(dos);
    EXPECT_EQ(unoHash, first->value(uno).record.contentHash());
    EXPECT_NE(unoHash, dosHash);
    EXPECT_TRUE(store.loadedContentHash(QStringLiteral("C")).isEmpty());

    // One record changes, one goes, one comes.
    SyncStateEntry changed = first->value(uno);
    changed.record.set(Note::Field::title, QStringLiteral("Uno y medio"), 2);
    ASSERT_TRUE(store.save({changed, entryNamed(QStringLiteral("C"), QStringLiteral("Tres"), 2)}));
    store.remove({QStringLiteral("B")});

    auto second = store.load();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->keys().size(), 2);
    EXPECT_EQ(second->value(uno).record.value(Note::Field::title).toString(),
              QStringLiteral("Uno y medio"));
    EXPECT_EQ(store.loadedContentHash(uno), changed.record.contentHash());
    EXPECT_NE(store.loadedContentHash(uno), unoHash);
    EXPECT_TRUE(store.loadedContentHash(dos).isEmpty());
    EXPECT_EQ(store.loadedContentHash(QStringLiteral("C")),
              second->value(QStringLiteral("C")).record.contentHash());

    // A second store on the same table (the next run) reads the same.
    SyncStateStore again;
    ASSERT_TRUE(again.open(container->databaseUri()));
    auto third = again.load();
    ASSERT_TRUE(third);
    EXPECT_EQ(again.loadedContentHash(uno), store.loadedContentHash(uno));
}

// The entries of one save land together or not at all: a pass that stops half-way must
// not leave some records marked as sent and others not.
TEST(SyncStateStoreTest, ASaveThatFailsHalfWayLeavesNothingBehindAndSaysWhy)
{
    auto container = makeMemoryContainer();
    SyncStateStore store;
    ASSERT_TRUE(store.open(container->databaseUri()));
    SqliteDatabase saboteur;
    ASSERT_TRUE(
        saboteur.open(container->databaseUri(), SqliteDatabase::OpenMode::readWriteExisting));
    ASSERT_TRUE(saboteur.exec(QStringLiteral(
        "CREATE TRIGGER refuse_b BEFORE INSERT ON syncState WHEN NEW.recordName = 'B' "
        "BEGIN SELECT RAISE(ABORT, 'disco lleno'); END;")));

    const auto saved = store.save({entryNamed(QStringLiteral("A"), QStringLiteral("Uno"), 1),
                                   entryNamed(QStringLiteral("B"), QStringLiteral("Dos"), 1)});
    ASSERT_FALSE(saved);
    EXPECT_TRUE(saved.error().description.contains(QStringLiteral("disco lleno")))
        << saved.error().description.toStdString();
    const auto loaded = store.load();
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(loaded->isEmpty()) << "the first entry was rolled back with the second";

    // The store is usable again at once: no transaction was left open.
    ASSERT_TRUE(store.save({entryNamed(QStringLiteral("A"), QStringLiteral("Uno"), 1)}));
    EXPECT_EQ(store.load()->size(), 1);
}
