// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncEngineWorker.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/SqliteDatabase.h"
#include "sync/FolderTransport.h"
#include "sync/MountPoints.h"
#include "sync/SyncMerge.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A clock the test moves by hand, so that "newer" is decided by the test.
struct Clock
{
    qint64 now = 1'800'000'000'000;
    qint64 tick(qint64 ms = 1000) { return now += ms; }
};

// A folder transport that lets a test act while a pass runs.
class HookedTransport : public FolderTransport
{
public:
    using FolderTransport::FolderTransport;
    std::function<void()> beforeListing;

    SyncResult<QList<SyncRemoteEntry>> list(const QString &folder) override
    {
        if (beforeListing && folder == SyncEngineWorker::notesFolder)
            beforeListing();
        return FolderTransport::list(folder);
    }
};

// One computer: its own store, mirrored to the shared folder by a worker running on the
// test's thread.
class Computer
{
public:
    Computer(const QString &folder, Clock &clock, const QString &dataDirectory, const QString &name)
        : container(makeMemoryContainer())
    {
        SyncEngineWorker::Options options;
        options.clock = [&clock] { return clock.now; };
        options.dataDirectory = dataDirectory;
        options.deviceName = name;
        worker = std::make_unique<SyncEngineWorker>(
            container.get(), SyncTarget::inFolder(folder),
            [this, folder]() -> std::unique_ptr<SyncTransport> {
                auto made = std::make_unique<HookedTransport>(folder, mountPoints);
                transport = made.get();
                return made;
            },
            options);
        QObject::connect(worker.get(), &SyncEngineWorker::eventChanged,
                         [this](const SyncEvent &event) {
                             if (event.endDate)
                                 events << event;
                         });
        QObject::connect(worker.get(), &SyncEngineWorker::keyValuesSynced,
                         [this](const QJsonObject &values, bool) { keyValues = values; });
    }

    ModelContext *context() const { return container->mainContext(); }

    Note *add(const QString &title, const QString &body = {})
    {
        auto note = std::make_unique<Note>();
        note->setTitle(title);
        note->setPlainText(body);
        note->setRichText(body.toUtf8());
        Note *inserted = context()->insert(std::move(note));
        EXPECT_TRUE(context()->save());
        return inserted;
    }

    // Runs one pass; the first failure, if any.
    std::optional<SyncError> sync()
    {
        events.clear();
        worker->runCycle();
        for (const SyncEvent &event : std::as_const(events)) {
            if (event.error)
                return event.error;
        }
        return std::nullopt;
    }

    QList<Note *> notes() const
    {
        return context()
            ->fetch(FetchDescriptor{NotePredicate(), {{Note::Field::title, true}}, std::nullopt})
            .value_or(QList<Note *>());
    }
    Note *withTitle(const QString &title) const
    {
        for (Note *note : notes()) {
            if (note->title() == title)
                return note;
        }
        return nullptr;
    }
    Note *withId(const QUuid &id) const
    {
        for (Note *note : notes()) {
            if (note->id() == id)
                return note;
        }
        return nullptr;
    }
    void save() { ASSERT_TRUE(context()->save()); }

    // Runs SQL on the store file's own tables, as a crash or an older run left them.
    void sql(const QString &statement)
    {
        SqliteDatabase database;
        ASSERT_TRUE(
            database.open(container->databaseUri(), SqliteDatabase::OpenMode::readWriteExisting));
        const auto done = database.exec(statement);
        ASSERT_TRUE(done) << (done ? "" : done.error().description.toStdString());
    }

    // Runs a pass that sends every note again; the first failure, if any.
    std::optional<SyncError> sendAgain()
    {
        events.clear();
        worker->sendAgain();
        for (const SyncEvent &event : std::as_const(events)) {
            if (event.error)
                return event.error;
        }
        return std::nullopt;
    }

    // Where the transport, made at the first pass, looks for drives not mounted.
    MountPoints mountPoints;
    std::unique_ptr<ModelContainer> container;
    std::unique_ptr<SyncEngineWorker> worker;
    // Made by the worker at its first pass, and owned by it.
    HookedTransport *transport = nullptr;
    QList<SyncEvent> events;
    QJsonObject keyValues;
};

class SyncEngineWorkerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(remote.isValid());
        ASSERT_TRUE(data.isValid());
    }
    std::unique_ptr<Computer> computer(const QString &name)
    {
        return std::make_unique<Computer>(remote.path(), clock, data.path(), name);
    }
    QString notesPath() const { return remote.filePath(SyncEngineWorker::notesFolder); }
    QStringList remoteFiles() const
    {
        return QDir(notesPath()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QJsonObject remoteRecord(const QString &name) const
    {
        QFile file(notesPath() + QLatin1Char('/') + name + QStringLiteral(".json"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    QTemporaryDir remote;
    QTemporaryDir data;
    Clock clock;
};

int repeatedIds(const QList<Note *> &notes)
{
    QSet<QUuid> seen;
    int repeated = 0;
    for (const Note *note : notes) {
        if (seen.contains(note->id()))
            ++repeated;
        seen.insert(note->id());
    }
    return repeated;
}

} // namespace

TEST_F(SyncEngineWorkerTest, TwoComputersConverge)
{
    auto a = computer(QStringLiteral("A"));
    auto b = computer(QStringLiteral("B"));
    Note *first = a->add(QStringLiteral("Uno"), QStringLiteral("cuerpo uno"));
    first->setColorToken(QStringLiteral("mint"));
    first->setCompletedAt(QDateTime::fromMSecsSinceEpoch(1'700'000'000'123, Qt::UTC));
    a->save();
    a->add(QStringLiteral("Dos"));
    ASSERT_FALSE(a->sync());
    EXPECT_EQ(remoteFiles().size(), 2);
    EXPECT_TRUE(QFile::exists(remote.filePath(SyncEngineWorker::formatFile)));

    clock.tick();
    ASSERT_FALSE(b->sync());
    ASSERT_EQ(b->notes().size(), 2);
    Note *copy = b->withId(first->id());
    ASSERT_TRUE(copy);
    for (int i = 0; i < Note::fieldCount; ++i) {
        const auto field = Note::Field(i);
        EXPECT_EQ(copy->value(field), first->value(field)) << Note::fieldName(field).toStdString();
    }

    clock.tick();
    copy->setTitle(QStringLiteral("Uno cambiado"));
    b->save();
    ASSERT_FALSE(b->sync());
    clock.tick();
    ASSERT_FALSE(a->sync());
    EXPECT_EQ(first->title(), QStringLiteral("Uno cambiado"));
    EXPECT_EQ(remoteFiles().size(), 2);
    EXPECT_EQ(repeatedIds(a->notes()), 0);
    EXPECT_EQ(repeatedIds(b->notes()), 0);

    // A pass with nothing new writes nothing.
    a->sync();
    EXPECT_EQ(
        std::count_if(a->events.cbegin(), a->events.cend(),
                      [](const SyncEvent &e) { return e.type == SyncEvent::Type::exporting; }),
        0);
}

TEST_F(SyncEngineWorkerTest, NewerWritePerFieldWins)
{
    auto a = computer(QStringLiteral("A"));
    auto b = computer(QStringLiteral("B"));
    Note *onA = a->add(QStringLiteral("Nota"));
    ASSERT_FALSE(a->sync());
    ASSERT_FALSE(b->sync());
    Note *onB = b->withId(onA->id());
    ASSERT_TRUE(onB);

    // A recolours first, B retitles later, and both reorder: B first, A later.
    onA->setColorToken(QStringLiteral("rose"));
    onA->setSortIndex(4096);
    a->save();
    onB->setTitle(QStringLiteral("Título de B"));
    onB->setSortIndex(2048);
    b->save();
    clock.tick();
    ASSERT_FALSE(b->sync());
    clock.tick();
    ASSERT_FALSE(a->sync());
    clock.tick();
    ASSERT_FALSE(b->sync());

    for (Note *note : {onA, onB}) {
        EXPECT_EQ(note->colorToken(), QStringLiteral("rose"));
        EXPECT_EQ(note->title(), QStringLiteral("Título de B"));
        EXPECT_EQ(note->sortIndex(), 4096);
    }
    EXPECT_EQ(a->notes().size(), 1);
    EXPECT_EQ(b->notes().size(), 1);
}

TEST_F(SyncEngineWorkerTest, ConcurrentBodyEditsKeepBothBodies)
{
    auto a = computer(QStringLiteral("A"));
    auto b = computer(QStringLiteral("B"));
    Note *onA = a->add(QStringLiteral("Lista"), QStringLiteral("pan"));
    ASSERT_FALSE(a->sync());
    ASSERT_FALSE(b->sync());
    Note *onB = b->withId(onA->id());
    ASSERT_TRUE(onB);

    onA->setPlainText(QStringLiteral("pan y leche"));
    a->save();
    onB->setPlainText(QStringLiteral("pan y huevos"));
    b->save();
    clock.tick();
    ASSERT_FALSE(a->sync());
    clock.tick();
    ASSERT_FALSE(b->sync()); // B's edit is newer: it wins, A's body becomes a copy.
    clock.tick();
    ASSERT_FALSE(a->sync());
    clock.tick();
    ASSERT_FALSE(b->sync());

    for (Computer *c : {a.get(), b.get()}) {
        const QList<Note *> notes = c->notes();
        ASSERT_EQ(notes.size(), 2);
        Note *original = c->withId(onA->id());
        ASSERT_TRUE(original);
        EXPECT_EQ(original->plainText(), QStringLiteral("pan y huevos"));
        Note *copy = c->withTitle(QStringLiteral("Copia en conflicto de «Lista»"));
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->plainText(), QStringLiteral("pan y leche"));
        EXPECT_TRUE(copy->isInArchivedSection());
        EXPECT_NE(copy->id(), original->id());
    }
    EXPECT_EQ(remoteFiles().size(), 2);
}

TEST_F(SyncEngineWorkerTest, DeletionWinsOverAnOlderEdit)
{
    auto a = computer(QStringLiteral("A"));
    auto b = computer(QStringLiteral("B"));
    Note *onA = a->add(QStringLiteral("Borrar"));
    const QUuid id = onA->id();
    ASSERT_FALSE(a->sync());
    ASSERT_FALSE(b->sync());

    onA->setTitle(QStringLiteral("Editada antes"));
    a->save();
    clock.tick();
    ASSERT_FALSE(a->sync());
    b->context()->remove(b->withId(id));
    b->save();
    clock.tick();
    ASSERT_FALSE(b->sync()); // sees A's older edit, its deletion stays
    clock.tick();
    ASSERT_FALSE(a->sync());

    EXPECT_TRUE(a->notes().isEmpty());
    EXPECT_TRUE(b->notes().isEmpty());
    const QJsonObject tombstone = remoteRecord(SyncRecord::nameFor(id));
    EXPECT_TRUE(tombstone.value(QStringLiteral("deleted")).toBool());

    // A computer that joins later never sees the note.
    auto c = computer(QStringLiteral("C"));
    ASSERT_FALSE(c->sync());
    EXPECT_TRUE(c->notes().isEmpty());
}

TEST_F(SyncEngineWorkerTest, AnEditNewerThanTheDeletionRestoresTheNote)
{
    auto a = computer(QStringLiteral("A"));
    auto b = computer(QStringLiteral("B"));
    Note *onA = a->add(QStringLiteral("Vuelve"));
    const QUuid id = onA->id();
    ASSERT_FALSE(a->sync());
    ASSERT_FALSE(b->sync());

    b->context()->remove(b->withId(id));
    b->save();
    clock.tick();
    ASSERT_FALSE(b->sync());
    onA->setTitle(QStringLiteral("Vuelve editada"));
    a->save();
    clock.tick();
    ASSERT_FALSE(a->sync()); // its edit is newer than B's deletion
    EXPECT_EQ(a->notes().size(), 1);
    clock.tick();
    ASSERT_FALSE(b->sync());
    ASSERT_EQ(b->notes().size(), 1);
    EXPECT_EQ(b->notes().first()->title(), QStringLiteral("Vuelve editada"));
    EXPECT_EQ(b->notes().first()->id(), id);
}

TEST_F(SyncEngineWorkerTest, ForeignFilesAreLeftAlone)
{
    auto a = computer(QStringLiteral("A"));
    Note *note = a->add(QStringLiteral("Real"));
    ASSERT_FALSE(a->sync());
    const QString name = SyncRecord::nameFor(note->id());
    QFile original(notesPath() + QLatin1Char('/') + name + QStringLiteral(".json"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    QByteArray content = original.readAll();
    // Valid records under names that are not ours, and a record that claims another name.
    const QByteArray other = QByteArray(content).replace(name.toLatin1(), "0THER-NAME");
    const QStringList foreign{
        name + QStringLiteral(".sync-conflict-20240101-120000-ABCDEFG.json"),
        name + QStringLiteral(".json~"),
        QStringLiteral(".") + name + QStringLiteral(".json.swp"),
        QStringLiteral("backup.json.tmp"),
        QStringLiteral("MISNAMED.json"),
        QStringLiteral("garbage.json"),
    };
    for (const QString &file : foreign) {
        QFile out(notesPath() + QLatin1Char('/') + file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(file == QStringLiteral("garbage.json") ? QByteArray("{not json") : other);
    }
    QDir(notesPath()).mkdir(QStringLiteral("folder.json"));

    auto b = computer(QStringLiteral("B"));
    ASSERT_FALSE(b->sync());
    ASSERT_EQ(b->notes().size(), 1);
    EXPECT_EQ(b->notes().first()->title(), QStringLiteral("Real"));
    for (const QString &file : foreign)
        EXPECT_TRUE(QFile::exists(notesPath() + QLatin1Char('/') + file)) << file.toStdString();
}

TEST(SyncRecordTest, NamesThatLeaveTheFolderAreRefused)
{
    for (const QString &bad :
         {QString(), QStringLiteral(".."), QStringLiteral("../x"), QStringLiteral("/etc/passwd"),
          QStringLiteral("a/b"), QStringLiteral("a\\b"), QStringLiteral("a.b"),
          QStringLiteral("-x"), QStringLiteral("x~"), QStringLiteral("nombre con espacio"),
          QString(129, u'a')})
        EXPECT_FALSE(SyncRecord::isValidName(bad)) << bad.toStdString();
    EXPECT_TRUE(SyncRecord::isValidName(SyncRecord::nameFor(QUuid::createUuid())));
    EXPECT_TRUE(SyncRecord::isValidName(QStringLiteral("ABC-1f_2")));

    SyncRecord record;
    record.recordName = QStringLiteral("X");
    record.values[0] = SyncRecord::nameFor(QUuid::createUuid());
    QJsonObject json = record.toJson();
    json.insert(QStringLiteral("recordName"), QStringLiteral("../../fuera"));
    const auto escaping = SyncRecord::fromJson(QJsonDocument(json).toJson());
    ASSERT_FALSE(escaping);
    EXPECT_FALSE(escaping.error().isEmpty());
    json.insert(QStringLiteral("recordName"), QStringLiteral("X"));
    json.insert(QStringLiteral("format"), 2);
    EXPECT_FALSE(SyncRecord::fromJson(QJsonDocument(json).toJson()));
    json.insert(QStringLiteral("format"), 1);
    EXPECT_TRUE(SyncRecord::fromJson(QJsonDocument(json).toJson()));
}

TEST_F(SyncEngineWorkerTest, AMissingRemoteFolderIsAnErrorAndDeletesNothing)
{
    auto a = computer(QStringLiteral("A"));
    a->add(QStringLiteral("Uno"));
    a->add(QStringLiteral("Dos"));
    ASSERT_FALSE(a->sync());
    ASSERT_TRUE(QDir(remote.filePath(SyncTarget::remoteFolder)).removeRecursively());

    auto error = a->sync();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, SyncError::userDeletedZone);
    EXPECT_EQ(a->notes().size(), 2);
    EXPECT_FALSE(QDir(remote.filePath(SyncTarget::remoteFolder)).exists());

    // After a restart the set-up refuses to start over.
    a->worker = std::make_unique<SyncEngineWorker>(
        a->container.get(), SyncTarget::inFolder(remote.path()),
        [path = remote.path()] { return std::make_unique<FolderTransport>(path); },
        SyncEngineWorker::Options{[this] { return clock.now; }, {}, data.path(), 3});
    QList<SyncEvent> events;
    QObject::connect(a->worker.get(), &SyncEngineWorker::eventChanged,
                     [&](const SyncEvent &e) { events << e; });
    a->worker->runCycle();
    ASSERT_FALSE(events.isEmpty());
    EXPECT_EQ(events.last().type, SyncEvent::Type::setup);
    ASSERT_TRUE(events.last().error);
    EXPECT_EQ(events.last().error->code, SyncError::userDeletedZone);
    EXPECT_EQ(a->notes().size(), 2);
}

TEST_F(SyncEngineWorkerTest, ASuddenlyEmptyRemoteFolderIsAnErrorAndDeletesNothing)
{
    auto a = computer(QStringLiteral("A"));
    a->add(QStringLiteral("Uno"));
    ASSERT_FALSE(a->sync());
    for (const QString &file : remoteFiles())
        ASSERT_TRUE(QFile::remove(notesPath() + QLatin1Char('/') + file));
    auto error = a->sync();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, SyncError::remoteCopyEmptied);
    EXPECT_EQ(a->notes().size(), 1);
    EXPECT_TRUE(remoteFiles().isEmpty());

    // One file gone among others is merely sent again.
    a->add(QStringLiteral("Dos"));
    for (const QString &file : remoteFiles())
        ASSERT_TRUE(QFile::remove(notesPath() + QLatin1Char('/') + file));
    auto b = computer(QStringLiteral("B"));
    b->add(QStringLiteral("De B"));
    ASSERT_FALSE(b->sync());
    ASSERT_FALSE(a->sync());
    EXPECT_EQ(remoteFiles().size(), 3);
    EXPECT_EQ(a->notes().size(), 3);
}

TEST_F(SyncEngineWorkerTest, TargetsHoldingTheLiveStoreAreRefused)
{
    for (const QString &folder : {data.filePath(QStringLiteral("sub")), data.path(),
                                  QFileInfo(data.path()).absolutePath()}) {
        auto container = makeMemoryContainer();
        SyncEngineWorker::Options options;
        options.dataDirectory = data.path();
        SyncEngineWorker worker(
            container.get(), SyncTarget::inFolder(folder),
            [folder] { return std::make_unique<FolderTransport>(folder); }, options);
        std::optional<SyncEvent> last;
        QObject::connect(&worker, &SyncEngineWorker::eventChanged,
                         [&](const SyncEvent &e) { last = e; });
        worker.runCycle();
        ASSERT_TRUE(last && last->error) << folder.toStdString();
        EXPECT_EQ(last->type, SyncEvent::Type::setup);
        EXPECT_EQ(last->error->code, SyncError::invalidArguments);
        EXPECT_FALSE(QDir(folder + QStringLiteral("/Orlette")).exists());
    }
}

TEST_F(SyncEngineWorkerTest, AStoreRestoredFromACopyMergesInsteadOfDuplicating)
{
    auto a = computer(QStringLiteral("A"));
    Note *note = a->add(QStringLiteral("Compartida"), QStringLiteral("igual"));
    ASSERT_FALSE(a->sync());

    auto b = computer(QStringLiteral("B"));
    auto same = std::make_unique<Note>();
    for (int i = 0; i < Note::fieldCount; ++i)
        same->setValue(Note::Field(i), note->value(Note::Field(i)));
    b->context()->insert(std::move(same));
    b->save();
    clock.tick();
    ASSERT_FALSE(b->sync());
    EXPECT_EQ(b->notes().size(), 1);
    EXPECT_EQ(remoteFiles().size(), 1);
}

TEST_F(SyncEngineWorkerTest, ARepeatedLocalIdIsSentOnceAndStaysRepeatedOnlyHere)
{
    auto a = computer(QStringLiteral("A"));
    Note *first = a->add(QStringLiteral("Uno"));
    Note *second = a->add(QStringLiteral("Uno"));
    second->setId(first->id());
    a->add(QStringLiteral("Dos"));
    a->save();
    ASSERT_FALSE(a->sync());
    EXPECT_EQ(remoteFiles().size(), 2);

    auto b = computer(QStringLiteral("B"));
    ASSERT_FALSE(b->sync());
    EXPECT_EQ(b->notes().size(), 2);
    EXPECT_EQ(repeatedIds(b->notes()), 0) << "the repeat does not travel";

    // Later passes neither send the copy nor take anything away here.
    second->setTitle(QStringLiteral("Uno, copia"));
    a->save();
    clock.tick();
    ASSERT_FALSE(a->sync());
    ASSERT_FALSE(b->sync());
    EXPECT_EQ(a->notes().size(), 3);
    EXPECT_EQ(repeatedIds(a->notes()), 1);
    EXPECT_EQ(remoteFiles().size(), 2);
    EXPECT_EQ(repeatedIds(b->notes()), 0);
}

TEST_F(SyncEngineWorkerTest, AnExportWhoseBookkeepingWasLostIsNotRepeated)
{
    auto a = computer(QStringLiteral("A"));
    a->add(QStringLiteral("Uno"), QStringLiteral("texto"));
    ASSERT_FALSE(a->sync());
    // As if the process died after writing the file and before noting it.
    a->sql(QStringLiteral("UPDATE syncState SET remoteTag = NULL, remoteHash = NULL,"
                          " agreedBodyHash = NULL"));
    clock.tick();
    ASSERT_FALSE(a->sync());
    EXPECT_EQ(a->notes().size(), 1);
    EXPECT_EQ(remoteFiles().size(), 1);
    auto b = computer(QStringLiteral("B"));
    ASSERT_FALSE(b->sync());
    EXPECT_EQ(b->notes().size(), 1);
}

TEST_F(SyncEngineWorkerTest, AnImportCutShortIsDoneOnceAfterRestart)
{
    auto a = computer(QStringLiteral("A"));
    Note *note = a->add(QStringLiteral("Uno"));
    ASSERT_FALSE(a->sync());
    auto b = computer(QStringLiteral("B"));
    ASSERT_FALSE(b->sync());
    ASSERT_EQ(b->notes().size(), 1);
    const QString name = SyncRecord::nameFor(note->id());

    // The insert was announced but never reached the store.
    b->sql(QStringLiteral("DELETE FROM Note"));
    b->sql(QStringLiteral("UPDATE syncState SET pending = record, pendingPk = 4242, pk = NULL"
                          " WHERE recordName = '%1'")
               .arg(name));
    b->context()->processExternalChanges(true);
    ASSERT_FALSE(b->sync());
    EXPECT_EQ(b->notes().size(), 1);
    ASSERT_FALSE(b->sync());
    EXPECT_EQ(b->notes().size(), 1);

    // Later changes still flow to the recovered record.
    note->setTitle(QStringLiteral("Nuevo"));
    a->save();
    clock.tick();
    ASSERT_FALSE(a->sync());
    clock.tick();
    ASSERT_FALSE(b->sync());
    Note *onB = b->withId(note->id());
    ASSERT_TRUE(onB);
    EXPECT_EQ(onB->title(), QStringLiteral("Nuevo"));
    EXPECT_EQ(b->notes().size(), 1);
}

TEST_F(SyncEngineWorkerTest, KeyValuesTravelBetweenComputers)
{
    auto a = computer(QStringLiteral("A"));
    auto b = computer(QStringLiteral("B"));
    const QJsonObject set{{QStringLiteral("welcomeNotesCreated"),
                           QJsonObject{{QStringLiteral("value"), true},
                                       {QStringLiteral("modifiedAt"), double(clock.now)}}}};
    a->worker->setLocalKeyValues(set);
    ASSERT_FALSE(a->sync());
    ASSERT_FALSE(b->sync());
    EXPECT_TRUE(b->keyValues.value(QStringLiteral("welcomeNotesCreated"))
                    .toObject()
                    .value(QStringLiteral("value"))
                    .toBool());

    // An older false does not undo it; ties go to true.
    const QJsonObject older{{QStringLiteral("welcomeNotesCreated"),
                             QJsonObject{{QStringLiteral("value"), false},
                                         {QStringLiteral("modifiedAt"), double(clock.now - 5)}}}};
    EXPECT_EQ(SyncEngineWorker::mergeKeyValues(older, set), set);
    EXPECT_EQ(SyncEngineWorker::mergeKeyValues(set, older), set);
}

TEST(SyncMergeTest, RulesTable)
{
    const auto live = [](qint64 time) {
        SyncRecord record;
        record.recordName = QStringLiteral("N");
        record.values[size_t(Note::Field::id)] = SyncRecord::nameFor(QUuid::createUuid());
        record.values[size_t(Note::Field::title)] = QStringLiteral("T");
        record.modifiedAt.fill(time);
        return record;
    };
    SyncRecord base = live(100);
    base.set(Note::Field::plainText, QStringLiteral("agreed"), 100);
    const QByteArray agreed = base.bodyHash();

    // Newer per field, either side.
    SyncRecord local = base, remote = base;
    local.set(Note::Field::title, QStringLiteral("local"), 200);
    remote.set(Note::Field::colorToken, QStringLiteral("sky"), 150);
    remote.set(Note::Field::title, QStringLiteral("remote"), 180);
    auto result = SyncMerge::merge(local, remote, agreed);
    EXPECT_EQ(result.merged.value(Note::Field::title).toString(), QStringLiteral("local"));
    EXPECT_EQ(result.merged.value(Note::Field::colorToken).toString(), QStringLiteral("sky"));
    EXPECT_FALSE(result.losingBody);
    EXPECT_EQ(SyncMerge::merge(remote, local, agreed).merged.values, result.merged.values);

    // A body changed on one side only is taken without a copy.
    remote = base;
    remote.set(Note::Field::plainText, QStringLiteral("remote body"), 90);
    result = SyncMerge::merge(base, remote, agreed);
    EXPECT_FALSE(result.losingBody);

    // Both changed the body: the newer wins, the other comes back as the loser.
    local = base;
    local.set(Note::Field::plainText, QStringLiteral("mine"), 300);
    remote.set(Note::Field::plainText, QStringLiteral("theirs"), 250);
    result = SyncMerge::merge(local, remote, agreed);
    EXPECT_EQ(result.merged.value(Note::Field::plainText).toString(), QStringLiteral("mine"));
    ASSERT_TRUE(result.losingBody);
    EXPECT_EQ(result.losingBody->value(Note::Field::plainText).toString(),
              QStringLiteral("theirs"));
    const SyncRecord copy = SyncMerge::conflictCopy(*result.losingBody, QUuid::createUuid(), 999);
    EXPECT_EQ(copy.value(Note::Field::title).toString(),
              QStringLiteral("Copia en conflicto de «T»"));
    EXPECT_TRUE(copy.value(Note::Field::isArchived).toBool());
    EXPECT_NE(copy.recordName, base.recordName);
    EXPECT_EQ(copy.value(Note::Field::id).toString(), copy.recordName);

    // Deletion against edits, in both orders.
    const SyncRecord dead = SyncRecord::tombstone(QStringLiteral("N"), 260);
    EXPECT_TRUE(SyncMerge::merge(dead, remote, agreed).merged.isDeleted);
    EXPECT_TRUE(SyncMerge::merge(remote, dead, agreed).merged.isDeleted);
    EXPECT_FALSE(SyncMerge::merge(dead, local, agreed).merged.isDeleted);
    EXPECT_FALSE(SyncMerge::merge(local, dead, agreed).merged.isDeleted);
    EXPECT_EQ(SyncMerge::merge(local, dead, agreed).merged.value(Note::Field::plainText),
              QStringLiteral("mine"));
    EXPECT_EQ(SyncMerge::merge(dead, SyncRecord::tombstone(QStringLiteral("N"), 270), agreed)
                  .merged.deletedAtMs,
              270);

    // Equal times pick the same value whichever side asks.
    local = base;
    remote = base;
    local.set(Note::Field::edgeToken, QStringLiteral("left"), 500);
    remote.set(Note::Field::edgeToken, QStringLiteral("right"), 500);
    EXPECT_EQ(SyncMerge::merge(local, remote, agreed).merged.value(Note::Field::edgeToken),
              SyncMerge::merge(remote, local, agreed).merged.value(Note::Field::edgeToken));
}

TEST_F(SyncEngineWorkerTest, ARecordThatCannotBeReadIsReportedAndNeverWrittenOver)
{
    auto a = computer(QStringLiteral("A"));
    auto b = computer(QStringLiteral("B"));
    Note *note = a->add(QStringLiteral("Uno"), QStringLiteral("cuerpo"));
    a->add(QStringLiteral("Dos"));
    ASSERT_FALSE(a->sync());
    clock.tick();
    ASSERT_FALSE(b->sync());
    const QString name = SyncRecord::nameFor(note->id());
    const QString path = notesPath() + QLatin1Char('/') + name + QStringLiteral(".json");
    const QByteArray truncated =
        QByteArray("{\"format\": 1, \"recordName\": \"") + name.toLatin1() + "\", \"fie";
    const QByteArray newer = QByteArray("{\"format\": 99, \"recordName\": \"") + name.toLatin1() +
                             "\", \"somethingNew\": true}";
    int round = 0;
    for (const QByteArray &unreadable : {truncated, newer}) {
        SCOPED_TRACE(round);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(unreadable);
        file.close();
        clock.tick();
        note->setPlainText(QStringLiteral("editado %1").arg(++round));
        a->save();

        // Both computers say what is wrong instead of "up to date"...
        for (Computer *computer : {a.get(), b.get()}) {
            const auto error = computer->sync();
            ASSERT_TRUE(error);
            EXPECT_EQ(error->code, SyncError::partialFailure);
            ASSERT_EQ(error->userInfo.size(), 1);
            ASSERT_EQ(error->userInfo.first().dictionary.size(), 1);
            EXPECT_EQ(error->userInfo.first().dictionary.first().key, name);
        }
        // ...and the file another version or another program may still need stays.
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), unreadable);
    }

    // Once the file is readable again the edit leaves.
    ASSERT_TRUE(QFile::remove(path));
    clock.tick();
    ASSERT_FALSE(a->sync());
    clock.tick();
    ASSERT_FALSE(b->sync());
    EXPECT_EQ(b->withId(note->id())->plainText(), QStringLiteral("editado 2"));
}

TEST_F(SyncEngineWorkerTest, ARecordUnderAnotherNameHoldingAKnownNoteIsNotASecondCopy)
{
    auto a = computer(QStringLiteral("A"));
    auto b = computer(QStringLiteral("B"));
    Note *note = a->add(QStringLiteral("Uno"));
    ASSERT_FALSE(a->sync());
    clock.tick();
    ASSERT_FALSE(b->sync());
    const QString name = SyncRecord::nameFor(note->id());
    QFile original(notesPath() + QLatin1Char('/') + name + QStringLiteral(".json"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray content = original.readAll();
    // The same note under its name in lower case, as a case-blind copy would write it.
    const QString impostor = name.toLower();
    QFile copy(notesPath() + QLatin1Char('/') + impostor + QStringLiteral(".json"));
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    copy.write(QByteArray(content).replace(name.toLatin1(), impostor.toLatin1()));
    copy.close();

    clock.tick();
    const auto error = b->sync();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, SyncError::partialFailure);
    EXPECT_EQ(b->notes().size(), 1);
    EXPECT_EQ(repeatedIds(b->notes()), 0);
    EXPECT_TRUE(copy.exists());
}

TEST_F(SyncEngineWorkerTest, AnEditSavedDuringAPassIsNeitherOverwrittenNorLost)
{
    auto a = computer(QStringLiteral("A"));
    auto b = computer(QStringLiteral("B"));
    Note *note = a->add(QStringLiteral("Uno"), QStringLiteral("primero"));
    ASSERT_FALSE(a->sync());
    clock.tick();
    ASSERT_FALSE(b->sync());
    Note *there = b->withId(note->id());
    ASSERT_TRUE(there);
    there->setTitle(QStringLiteral("Título de B"));
    b->save();
    clock.tick();
    ASSERT_FALSE(b->sync());

    // A's person saves a new body while A's pass is between reading the store and
    // writing B's title into it.
    clock.tick();
    bool edited = false;
    a->transport->beforeListing = [&] {
        if (edited)
            return;
        edited = true;
        note->setPlainText(QStringLiteral("escrito durante la pasada"));
        a->save();
    };
    ASSERT_FALSE(a->sync());
    ASSERT_TRUE(edited);
    EXPECT_EQ(note->plainText(), QStringLiteral("escrito durante la pasada"));
    EXPECT_EQ(note->title(), QStringLiteral("Título de B"));

    clock.tick();
    ASSERT_FALSE(b->sync());
    EXPECT_EQ(there->plainText(), QStringLiteral("escrito durante la pasada"));
    EXPECT_EQ(there->title(), QStringLiteral("Título de B"));
}

TEST_F(SyncEngineWorkerTest, SyncthingConflictCopiesReachThePersonOnce)
{
    auto a = computer(QStringLiteral("A"));
    Note *note = a->add(QStringLiteral("Lista"), QStringLiteral("pan"));
    ASSERT_FALSE(a->sync());
    const QString name = SyncRecord::nameFor(note->id());
    QFile original(notesPath() + QLatin1Char('/') + name + QStringLiteral(".json"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    auto record = SyncRecord::fromJson(original.readAll());
    ASSERT_TRUE(record);

    // Syncthing kept the other computer's simultaneous text aside, and a copy whose text
    // is the one held here.
    const auto keepAside = [&](const QString &file, const QString &body) {
        SyncRecord copy = *record;
        copy.set(Note::Field::plainText, body, clock.now);
        copy.set(Note::Field::richText, QString::fromLatin1(body.toUtf8().toBase64()), clock.now);
        QFile out(notesPath() + QLatin1Char('/') + file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(copy.toFileData());
    };
    const QString lost = name + QStringLiteral(".sync-conflict-20260105-101500-ABCDEFG.json");
    const QString same = name + QStringLiteral(".sync-conflict-20260105-101501-HIJKLMN.json");
    keepAside(lost, QStringLiteral("pan y leche"));
    keepAside(same, QStringLiteral("pan"));

    auto b = computer(QStringLiteral("B"));
    for (Computer *computer : {a.get(), b.get()}) {
        clock.tick();
        ASSERT_FALSE(computer->sync());
    }
    for (Computer *computer : {a.get(), b.get()}) {
        ASSERT_EQ(computer->notes().size(), 2);
        int copies = 0;
        for (const Note *held : computer->notes()) {
            if (held->plainText() == QStringLiteral("pan y leche")) {
                ++copies;
                EXPECT_TRUE(held->isArchived());
            }
        }
        EXPECT_EQ(copies, 1);
    }
    EXPECT_FALSE(QFile::exists(notesPath() + QLatin1Char('/') + lost));
    EXPECT_FALSE(QFile::exists(notesPath() + QLatin1Char('/') + same));
}

TEST_F(SyncEngineWorkerTest, RecordsOverTheSizeLimitAreNeitherReadNorWrittenAndAreReported)
{
    auto a = computer(QStringLiteral("A"));
    auto b = computer(QStringLiteral("B"));
    Note *note = a->add(QStringLiteral("Pequeña"), QStringLiteral("poco"));
    a->add(QStringLiteral("Otra"));
    ASSERT_FALSE(a->sync());
    clock.tick();
    ASSERT_FALSE(b->sync());

    // Another program blew the record up past the limit.
    const QString name = SyncRecord::nameFor(note->id());
    const QString path = notesPath() + QLatin1Char('/') + name + QStringLiteral(".json");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(SyncTransport::maxFileSize + 1, ' '));
    }
    clock.tick();
    auto error = b->sync();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, SyncError::partialFailure);
    ASSERT_EQ(error->userInfo.first().dictionary.size(), 1);
    EXPECT_EQ(error->userInfo.first().dictionary.first().error->code, SyncError::limitExceeded);
    EXPECT_EQ(b->withId(note->id())->plainText(), QStringLiteral("poco"));
    ASSERT_TRUE(QFile::remove(path));
    clock.tick();
    ASSERT_FALSE(a->sync());

    // A note grown past the limit here is not sent, and says so.
    clock.tick();
    note->setPlainText(QString(SyncTransport::maxFileSize, QLatin1Char('x')));
    a->save();
    error = a->sync();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, SyncError::partialFailure);
    EXPECT_LT(QFileInfo(path).size(), SyncTransport::maxFileSize);
}

TEST_F(SyncEngineWorkerTest, NotesSentAgainRefillALostOrEmptiedRemoteCopyAndDeleteNothing)
{
    auto a = computer(QStringLiteral("A"));
    QList<int> counts;
    QObject::connect(a->worker.get(), &SyncEngineWorker::remoteNotesCounted,
                     [&](int count) { counts << count; });
    a->add(QStringLiteral("Uno"));
    a->add(QStringLiteral("Dos"));
    ASSERT_FALSE(a->sync());
    EXPECT_EQ(counts.last(), 2);

    {
        SCOPED_TRACE("the whole Orlette folder gone, noticed after a restart");
        ASSERT_TRUE(QDir(remote.filePath(SyncTarget::remoteFolder)).removeRecursively());
        a->worker = std::make_unique<SyncEngineWorker>(
            a->container.get(), SyncTarget::inFolder(remote.path()),
            [path = remote.path()] { return std::make_unique<FolderTransport>(path); },
            SyncEngineWorker::Options{[this] { return clock.now; }, {}, data.path(), 3});
        QObject::connect(a->worker.get(), &SyncEngineWorker::eventChanged,
                         [&](const SyncEvent &event) {
                             if (event.endDate)
                                 a->events << event;
                         });
        QObject::connect(a->worker.get(), &SyncEngineWorker::remoteNotesCounted,
                         [&](int count) { counts << count; });
        auto error = a->sync();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, SyncError::userDeletedZone);
        EXPECT_EQ(counts.last(), 0) << "a reset would leave nothing";
        ASSERT_FALSE(a->sendAgain());
        EXPECT_EQ(remoteFiles().size(), 2);
        EXPECT_TRUE(QFile::exists(remote.filePath(SyncEngineWorker::formatFile)));
        EXPECT_EQ(a->notes().size(), 2);
        EXPECT_EQ(counts.last(), 2);
        ASSERT_FALSE(a->sync()) << "and the passes after it are well";
    }
    {
        SCOPED_TRACE("every record gone");
        for (const QString &file : remoteFiles())
            ASSERT_TRUE(QFile::remove(notesPath() + QLatin1Char('/') + file));
        auto error = a->sync();
        ASSERT_TRUE(error);
        EXPECT_EQ(error->code, SyncError::remoteCopyEmptied);
        EXPECT_EQ(counts.last(), 0);
        ASSERT_FALSE(a->sendAgain());
        EXPECT_EQ(remoteFiles().size(), 2);
        EXPECT_EQ(a->notes().size(), 2);
    }

    // Another computer that already filled the target meanwhile is merged, not overwritten.
    for (const QString &file : remoteFiles())
        ASSERT_TRUE(QFile::remove(notesPath() + QLatin1Char('/') + file));
    ASSERT_TRUE(a->sync());
    auto b = computer(QStringLiteral("B"));
    b->add(QStringLiteral("De B"));
    ASSERT_FALSE(b->sync());
    clock.tick();
    ASSERT_FALSE(a->sendAgain());
    EXPECT_EQ(a->notes().size(), 3);
    EXPECT_EQ(remoteFiles().size(), 3);
    ASSERT_FALSE(b->sync());
    EXPECT_EQ(b->notes().size(), 3);
    EXPECT_EQ(repeatedIds(a->notes()), 0);
}

TEST_F(SyncEngineWorkerTest, NoRemoteCopyIsMadeInAnEmptyFolderWhereADriveShouldBeMounted)
{
    // A drive of the table (its mount point the target) and one where desktops put
    // removable drives, neither mounted: both are empty folders on this file system.
    QTemporaryDir system;
    const QString usb = remote.filePath(QStringLiteral("usb"));
    ASSERT_TRUE(QDir().mkpath(usb));
    QFile fstab(system.filePath(QStringLiteral("fstab")));
    ASSERT_TRUE(fstab.open(QIODevice::WriteOnly));
    fstab.write(QStringLiteral("# <file system> <mount point> <type>\n"
                               "UUID=1234 / ext4 defaults 0 1\n"
                               "LABEL=NOTAS %1 vfat noauto,user 0 0\n")
                    .arg(QString(usb).replace(QLatin1Char(' '), QStringLiteral("\\040")))
                    .toUtf8());
    fstab.close();
    MountPoints::Sources sources;
    sources.fstab = fstab.fileName();
    sources.removableParents = {system.filePath(QStringLiteral("media"))};

    Computer a(usb, clock, data.path(), QStringLiteral("A"));
    a.mountPoints = MountPoints(sources);
    a.add(QStringLiteral("Uno"));
    auto error = a.sync();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, SyncError::targetUnmounted);
    EXPECT_TRUE(
        QDir(usb).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden).isEmpty())
        << "nothing made on the computer's own disk";
    EXPECT_TRUE(a.sendAgain()) << "sending again makes nothing there either";
    EXPECT_FALSE(QDir(usb + QStringLiteral("/Orlette")).exists());

    const QString media = system.filePath(QStringLiteral("media/ana/NOTAS"));
    ASSERT_TRUE(QDir().mkpath(media));
    EXPECT_TRUE(MountPoints(sources).looksUnmounted(media));
    EXPECT_FALSE(MountPoints(sources).looksUnmounted(system.filePath(QStringLiteral("fstab"))));
    EXPECT_FALSE(MountPoints().looksUnmounted(remote.path())) << "an ordinary folder";

    // The drive's own folder holding anything is taken as the drive itself.
    QFile mark(usb + QStringLiteral("/.stfolder"));
    ASSERT_TRUE(mark.open(QIODevice::WriteOnly));
    mark.close();
    ASSERT_FALSE(a.sync());
    EXPECT_TRUE(QFile::exists(usb + QStringLiteral("/Orlette/format.json")));
}

TEST(MountPointsTest, ReadsTheMountPointsOfTheTable)
{
    EXPECT_EQ(MountPoints::mountPointsOf("# comment\n"
                                         "UUID=1 / ext4 defaults 0 1\n"
                                         "  /dev/sdb1\t/media/mis\\040notas  vfat user 0 0\n"
                                         "/swapfile none swap sw 0 0\n"
                                         "server:/x /mnt/nas/ nfs defaults 0 0\n"),
              (QStringList{QStringLiteral("/media/mis notas"), QStringLiteral("/mnt/nas")}));
}
