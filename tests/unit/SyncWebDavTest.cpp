// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "sync/SyncEngineWorker.h"
#include "sync/SyncStatus.h"
#include "sync/WebDavTransport.h"

#include "FakeWebDavServer.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::unique_ptr<WebDavTransport> transportFor(const FakeWebDavServer &server,
                                              const QString &user = {},
                                              const std::optional<QString> &password = {})
{
    return std::make_unique<WebDavTransport>(server.url(), user, password, std::nullopt,
                                             std::chrono::milliseconds(5000));
}

} // namespace

TEST(SyncWebDavTest, ConditionalWritesListingsAndReads)
{
    FakeWebDavServer server;
    auto dav = transportFor(server);
    ASSERT_TRUE(dav->makeFolder(QStringLiteral("Orlette")));
    ASSERT_TRUE(dav->makeFolder(QStringLiteral("Orlette"))) << "an existing folder is fine";
    ASSERT_TRUE(dav->makeFolder(QStringLiteral("Orlette/notes")));

    const QString path = QStringLiteral("Orlette/notes/A-1.json");
    const auto created = dav->write(path, "uno", SyncWriteCondition::absent());
    ASSERT_TRUE(created.has_value()) << SyncStatus::describeError(created.error()).toStdString();
    const auto again = dav->write(path, "otro", SyncWriteCondition::absent());
    ASSERT_FALSE(again.has_value());
    EXPECT_EQ(again.error().code, SyncError::serverRecordChanged);

    const auto listed = dav->list(QStringLiteral("Orlette/notes"));
    ASSERT_TRUE(listed.has_value());
    ASSERT_EQ(listed->size(), 1);
    EXPECT_EQ(listed->first().name, QStringLiteral("A-1.json"));
    EXPECT_EQ(listed->first().tag, *created);
    const auto folders = dav->list(QStringLiteral("Orlette"));
    ASSERT_TRUE(folders.has_value());
    ASSERT_EQ(folders->size(), 1);
    EXPECT_TRUE(folders->first().isFolder);

    const auto read = dav->read(path);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->data, QByteArray("uno"));
    EXPECT_EQ(read->tag, *created);

    const auto updated = dav->write(path, "dos", SyncWriteCondition::matching(*created));
    ASSERT_TRUE(updated.has_value());
    const auto stale = dav->write(path, "tres", SyncWriteCondition::matching(*created));
    ASSERT_FALSE(stale.has_value());
    EXPECT_EQ(stale.error().code, SyncError::serverRecordChanged);
    EXPECT_EQ(server.files.value(QStringLiteral("/dav/Orlette/notes/A-1.json")).data,
              QByteArray("dos"));

    ASSERT_TRUE(dav->remove(path));
    const auto gone = dav->read(path);
    ASSERT_FALSE(gone.has_value());
    EXPECT_EQ(gone.error().code, SyncError::unknownItem);
    const auto noFolder = dav->list(QStringLiteral("Nada"));
    ASSERT_FALSE(noFolder.has_value());
    EXPECT_EQ(noFolder.error().code, SyncError::unknownItem);
}

TEST(SyncWebDavTest, AMissingETagIsReadBack)
{
    FakeWebDavServer server;
    server.sendsEtagOnPut = false;
    auto dav = transportFor(server);
    const auto written = dav->write(QStringLiteral("f.json"), "x", SyncWriteCondition::any());
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written, server.files.value(QStringLiteral("/dav/f.json")).etag);
    EXPECT_TRUE(server.requests.last().startsWith(QStringLiteral("PROPFIND")));
}

TEST(SyncWebDavTest, RefusedCredentialsAreCodeNineAndNeverShowThePassword)
{
    FakeWebDavServer server;
    server.user = QStringLiteral("ana");
    server.password = QStringLiteral("s3cr3t-right");

    auto good = transportFor(server, QStringLiteral("ana"), QStringLiteral("s3cr3t-right"));
    EXPECT_TRUE(good->checkAccount());

    auto wrong = transportFor(server, QStringLiteral("ana"), QStringLiteral("wr0ng-pass"));
    const auto refused = wrong->checkAccount();
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().status, SyncMirroring::AccountStatus::noAccount);
    EXPECT_EQ(refused.error().error.code, SyncError::notAuthenticated);
    const auto listed = wrong->list(QStringLiteral(""));
    ASSERT_FALSE(listed.has_value());
    EXPECT_EQ(listed.error().code, SyncError::notAuthenticated);
    for (const SyncError &e : {refused.error().error, listed.error()}) {
        const QString text = SyncStatus::describeError(e);
        EXPECT_FALSE(text.contains(QStringLiteral("wr0ng-pass"))) << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("s3cr3t"))) << text.toStdString();
    }

    server.forbidden = true;
    const auto forbidden = good->checkAccount();
    ASSERT_FALSE(forbidden);
    EXPECT_EQ(forbidden.error().status, SyncMirroring::AccountStatus::restricted);
    EXPECT_EQ(forbidden.error().error.code, SyncError::notAuthenticated);

    // No password at all: nothing is sent, and the secret store's failure is kept inside.
    const int sent = server.requests.size();
    WebDavTransport none(server.url(), QStringLiteral("ana"), std::nullopt,
                         SyncError::make(9, QStringLiteral("Sin almacén de secretos")));
    const auto missing = none.checkAccount();
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().status, SyncMirroring::AccountStatus::noAccount);
    EXPECT_EQ(missing.error().error.code, SyncError::notAuthenticated);
    EXPECT_TRUE(SyncStatus::describeError(missing.error().error)
                    .contains(QStringLiteral("Sin almacén de secretos")));
    EXPECT_EQ(server.requests.size(), sent);
}

TEST(SyncWebDavTest, AFullServerIsQuotaAndAClosedOneIsNoNetwork)
{
    FakeWebDavServer server;
    server.quota = 10;
    auto dav = transportFor(server);
    const auto full =
        dav->write(QStringLiteral("big.json"), QByteArray(64, 'x'), SyncWriteCondition::any());
    ASSERT_FALSE(full.has_value());
    EXPECT_EQ(full.error().code, SyncError::quotaExceeded);
    EXPECT_TRUE(SyncStatus::describeError(full.error()).contains(QStringLiteral("HTTP 507")));

    server.close();
    const auto closed = dav->checkAccount();
    ASSERT_FALSE(closed);
    EXPECT_EQ(closed.error().status, SyncMirroring::AccountStatus::temporarilyUnavailable);
    EXPECT_EQ(closed.error().error.code, SyncError::networkUnavailable);
}

TEST(SyncWebDavTest, TwoComputersConvergeThroughTheServer)
{
    FakeWebDavServer server;
    server.user = QStringLiteral("ana");
    server.password = QStringLiteral("pw");
    QTemporaryDir data;
    qint64 now = 1'800'000'000'000;
    const auto makeWorker = [&](ModelContainer *container) {
        SyncEngineWorker::Options options;
        options.clock = [&now] { return now; };
        options.dataDirectory = data.path();
        return std::make_unique<SyncEngineWorker>(
            container, SyncTarget::onWebDav(server.url(), QStringLiteral("ana")),
            [&server] { return transportFor(server, QStringLiteral("ana"), QStringLiteral("pw")); },
            options);
    };
    auto a = makeMemoryContainer();
    auto b = makeMemoryContainer();
    auto workerA = makeWorker(a.get());
    auto workerB = makeWorker(b.get());
    QList<SyncEvent> failures;
    for (auto *worker : {workerA.get(), workerB.get()}) {
        QObject::connect(worker, &SyncEngineWorker::eventChanged, [&](const SyncEvent &e) {
            if (e.error)
                failures << e;
        });
    }

    auto note = std::make_unique<Note>();
    note->setTitle(QStringLiteral("Por WebDAV"));
    Note *onA = a->mainContext()->insert(std::move(note));
    ASSERT_TRUE(a->mainContext()->save());
    workerA->runCycle();
    now += 1000;
    workerB->runCycle();
    ASSERT_TRUE(failures.isEmpty())
        << SyncStatus::describeError(*failures.first().error).toStdString();
    const auto onB = b->mainContext()->fetch(FetchDescriptor{});
    ASSERT_TRUE(onB && onB->size() == 1);
    EXPECT_EQ(onB->first()->id(), onA->id());

    // Both edit; B's newer title wins everywhere.
    onA->setTitle(QStringLiteral("de A"));
    ASSERT_TRUE(a->mainContext()->save());
    onB->first()->setTitle(QStringLiteral("de B"));
    ASSERT_TRUE(b->mainContext()->save());
    now += 1000;
    workerA->runCycle();
    now += 1000;
    workerB->runCycle();
    now += 1000;
    workerA->runCycle();
    EXPECT_TRUE(failures.isEmpty());
    EXPECT_EQ(onA->title(), QStringLiteral("de B"));
    EXPECT_EQ(onB->first()->title(), QStringLiteral("de B"));
    EXPECT_TRUE(server.files.contains(QStringLiteral("/dav/Orlette/format.json")));
    EXPECT_TRUE(server.files.contains(
        QStringLiteral("/dav/Orlette/notes/%1.json").arg(SyncRecord::nameFor(onA->id()))));
}

namespace {

std::unique_ptr<SyncEngineWorker> workerFor(FakeWebDavServer &server, ModelContainer *container,
                                            const QString &dataDirectory, qint64 &now)
{
    SyncEngineWorker::Options options;
    options.clock = [&now] { return now; };
    options.dataDirectory = dataDirectory;
    return std::make_unique<SyncEngineWorker>(
        container, SyncTarget::onWebDav(server.url(), QString()),
        [&server] { return transportFor(server); }, options);
}

Note *addNote(ModelContainer &container, const QString &title)
{
    auto note = std::make_unique<Note>();
    note->setTitle(title);
    Note *inserted = container.mainContext()->insert(std::move(note));
    EXPECT_TRUE(container.mainContext()->save());
    return inserted;
}

int noteCount(ModelContainer &container)
{
    return container.mainContext()->fetchCount(NotePredicate::all()).value_or(-1);
}

} // namespace

TEST(SyncWebDavTest, AServerThatIgnoresConditionalWritesIsRefusedBeforeAnythingIsWritten)
{
    FakeWebDavServer honest;
    EXPECT_TRUE(transportFor(honest)->checkConditionalWrites());
    EXPECT_TRUE(honest.files.isEmpty()) << "the probe is deleted";

    FakeWebDavServer careless;
    careless.honoursConditions = false;
    const auto refusal = transportFor(careless)->checkConditionalWrites();
    ASSERT_FALSE(refusal);
    EXPECT_EQ(refusal.error().code, SyncError::conditionalWritesIgnored);
    EXPECT_TRUE(careless.files.isEmpty()) << "the probe is deleted";

    // The mirroring asks before its first pass and stops there, with the words for it.
    QTemporaryDir data;
    qint64 now = 1'800'000'000'000;
    auto container = makeMemoryContainer();
    addNote(*container, QStringLiteral("Una"));
    auto worker = workerFor(careless, container.get(), data.path(), now);
    QList<SyncEvent> failures;
    QObject::connect(worker.get(), &SyncEngineWorker::eventChanged, [&](const SyncEvent &e) {
        if (e.error)
            failures << e;
    });
    worker->runCycle();
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures.first().error->code, SyncError::conditionalWritesIgnored);
    EXPECT_TRUE(careless.files.isEmpty()) << "no note went to a server that could lose it";
    SyncStatus status(nullptr);
    status.recordEvent(failures.first().type, QDateTime::currentDateTimeUtc(),
                       failures.first().error->code, QString());
    EXPECT_EQ(status.health().message(),
              "Este servidor WebDAV no respeta las escrituras condicionales: un ordenador podría "
              "borrar sin aviso lo que escribió otro. No se sincroniza con él.");

    // Asked again now and then: a server that became careless is noticed.
    auto workerOnHonest = workerFor(honest, container.get(), data.path(), now);
    workerOnHonest->runCycle();
    EXPECT_TRUE(honest.files.contains(QStringLiteral("/dav/Orlette/format.json")));
    const int probes = honest.requests.filter(QStringLiteral(".orlette-probe")).size();
    workerOnHonest->runCycle();
    EXPECT_EQ(honest.requests.filter(QStringLiteral(".orlette-probe")).size(), probes)
        << "not at every pass";
    honest.honoursConditions = false;
    now += 7 * 3600 * 1000;
    QList<int> codes;
    QObject::connect(workerOnHonest.get(), &SyncEngineWorker::eventChanged,
                     [&](const SyncEvent &e) {
                         if (e.error)
                             codes << e.error->code;
                     });
    workerOnHonest->runCycle();
    EXPECT_TRUE(codes.contains(SyncError::conditionalWritesIgnored));
}

TEST(SyncWebDavTest, AReadStopsAtTheSizeLimit)
{
    FakeWebDavServer server;
    const QByteArray big(SyncTransport::maxFileSize + 1, 'x');
    server.files.insert(QStringLiteral("/dav/big.json"), {big, QStringLiteral("\"b\"")});
    server.files.insert(QStringLiteral("/dav/small.json"), {"{}", QStringLiteral("\"s\"")});
    auto dav = transportFor(server);
    const auto read = dav->read(QStringLiteral("big.json"));
    ASSERT_FALSE(read.has_value());
    EXPECT_EQ(read.error().code, SyncError::limitExceeded);
    const auto small = dav->read(QStringLiteral("small.json"));
    ASSERT_TRUE(small.has_value()) << "the next request is unaffected";
    EXPECT_EQ(small->data, "{}");
}

TEST(SyncWebDavTest, FolderTagsThatNeverChangeAreNotTrustedAndChangesAreFoundByListing)
{
    FakeWebDavServer server;
    server.frozenFolderTags = true;
    QTemporaryDir data;
    qint64 now = 1'800'000'000'000;
    auto a = makeMemoryContainer();
    auto b = makeMemoryContainer();
    auto workerA = workerFor(server, a.get(), data.path(), now);
    auto workerB = workerFor(server, b.get(), data.path(), now);

    addNote(*a, QStringLiteral("uno"));
    workerA->runCycle();
    workerB->runCycle();
    ASSERT_EQ(noteCount(*b), 1);
    // A change the date of the folders does not show.
    addNote(*a, QStringLiteral("dos"));
    now += 1000;
    workerA->runCycle();
    now += 1000;
    workerB->runCycle();
    ASSERT_EQ(noteCount(*b), 2);

    // From now on a cheap check between polls finds the next change by the listing.
    addNote(*a, QStringLiteral("tres"));
    now += 1000;
    workerA->runCycle();
    workerB->checkForChanges();
    EXPECT_EQ(noteCount(*b), 3);
    const int passes = server.requests.size();
    workerB->checkForChanges();
    EXPECT_EQ(server.requests.size(), passes + 1) << "nothing changed: one listing, no pass";
}
