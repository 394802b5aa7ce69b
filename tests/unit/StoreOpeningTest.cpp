// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/StoreOpening.h"
#include "model/ModelContext.h"
#include "model/SqliteDatabase.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A store another build wrote: valid SQLite, but of a later schema.
void writeNewerStore(const QString &path)
{
    SqliteDatabase db;
    ASSERT_TRUE(db.open(path, SqliteDatabase::OpenMode::readWriteCreate));
    ASSERT_TRUE(db.exec("CREATE TABLE metadata (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
                        "INSERT INTO metadata VALUES ('schemaVersion', '2.0.0');"
                        "INSERT INTO metadata VALUES ('entity', 'Note');"
                        "CREATE TABLE Note (pk INTEGER PRIMARY KEY, id TEXT, shinyNewField TEXT);"
                        "INSERT INTO Note VALUES (1, 'X', 'keep me');"));
}

} // namespace

TEST(StoreOpening, OpensTheStoreOnDisk)
{
    QTemporaryDir dir;
    const StoreOpening opening = StoreOpening::open(dir.filePath("sub/default.store"));
    ASSERT_TRUE(opening.container);
    EXPECT_FALSE(opening.isInMemory());
    EXPECT_TRUE(opening.container->configuration().isMirrored);
    EXPECT_EQ(opening.container->configuration().storage, ModelConfiguration::Storage::onDisk);
}

TEST(StoreOpening, UnusableFilesFallBackToMemoryAndAreLeftUntouched)
{
    struct Case
    {
        const char *name;
        std::function<void(const QString &)> prepare;
    };
    const QList<Case> cases{
        {"garbage", [](const QString &p) { write(p, QByteArray(4096, '\x5a')); }},
        {"text", [](const QString &p) { write(p, "notas importantes\n"); }},
        {"truncated header",
         [](const QString &p) { write(p, QByteArray("SQLite format 3\0", 16) + "xx"); }},
        {"newer schema", writeNewerStore},
        {"foreign database",
         [](const QString &p) {
             SqliteDatabase db;
             ASSERT_TRUE(db.open(p, SqliteDatabase::OpenMode::readWriteCreate));
             ASSERT_TRUE(db.exec(
                 "CREATE TABLE recipes (name TEXT); INSERT INTO recipes VALUES ('tortilla');"));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("default.store");
        c.prepare(path);
        const QByteArray before = digest(path);
        ASSERT_FALSE(before.isEmpty());

        StoreOpening opening = StoreOpening::open(path);
        ASSERT_TRUE(opening.container);
        EXPECT_TRUE(opening.isInMemory());
        ASSERT_TRUE(opening.onDiskError);
        EXPECT_FALSE(opening.onDiskError->description.isEmpty());
        EXPECT_TRUE(opening.fatalMessage().startsWith(
            "SwiftData no puede crear ni un almacén en memoria: " +
            opening.onDiskError->description));

        // The application stays usable in memory.
        ModelContext *context = opening.container->mainContext();
        context->insert(std::make_unique<Note>());
        EXPECT_TRUE(context->save());
        opening.container.reset();
        EXPECT_EQ(digest(path), before) << "the unreadable file must stay byte for byte";
        EXPECT_FALSE(QFile::exists(path + "-wal"));
    }
}

TEST(StoreOpening, NewerSchemaIsNamedInTheError)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("default.store");
    writeNewerStore(path);
    const auto container = ModelContainer::create(ModelConfiguration::onDisk(path, true));
    ASSERT_FALSE(container);
    EXPECT_TRUE(container.error().description.contains("2.0.0"));
}
