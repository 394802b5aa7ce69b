// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncEngine.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/UserDefaults.h"
#include "sync/KeychainCredentials.h"
#include "sync/RemoteKeyValueStore.h"
#include "sync/SyncStatus.h"

#include "FakeWebDavServer.h"
#include "TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// One running application: store, settings file, engine and status.
struct App
{
    App(const QString &settingsPath, const QString &folder, const QString &dataDirectory)
        : container(makeMemoryContainer()), defaults(settingsPath)
    {
        if (!folder.isEmpty())
            SyncTarget::inFolder(folder).save(defaults);
        SyncEngine::Options options;
        options.saveDelay = 20ms;
        options.fileChangeDelay = 30ms;
        options.pollInterval = 200ms;
        options.dataDirectory = dataDirectory;
        engine = std::make_unique<SyncEngine>(container.get(), defaults, nullptr, options);
        status = std::make_unique<SyncStatus>(engine.get());
    }
    ~App()
    {
        status.reset();
        engine.reset();
    }
    QList<Note *> notes() const
    {
        return container->mainContext()->fetch(FetchDescriptor{}).value_or(QList<Note *>());
    }

    std::unique_ptr<ModelContainer> container;
    UserDefaults defaults;
    std::unique_ptr<SyncEngine> engine;
    std::unique_ptr<SyncStatus> status;
};

class SyncEngineTest : public ::testing::Test
{
protected:
    std::unique_ptr<App> app(const QString &name, bool configured = true)
    {
        return std::make_unique<App>(settings.filePath(name + QStringLiteral(".conf")),
                                     configured ? remote.path() : QString(), data.path());
    }
    QTemporaryDir settings;
    QTemporaryDir remote;
    QTemporaryDir data;
};

} // namespace

TEST_F(SyncEngineTest, SavesAreSentAndArriveAsRemoteChanges)
{
    auto a = app(QStringLiteral("a"));
    auto b = app(QStringLiteral("b"));
    QSignalSpy remoteChanges(b->container.get(), &ModelContainer::remoteChange);
    a->engine->start();
    a->status->start();
    b->engine->start();
    b->status->start();
    EXPECT_TRUE(a->engine->isRunning());

    auto note = std::make_unique<Note>();
    note->setTitle(QStringLiteral("Viaja"));
    const QUuid id = note->id();
    a->container->mainContext()->insert(std::move(note));
    ASSERT_TRUE(a->container->mainContext()->save());

    ASSERT_TRUE(waitUntil([&] { return b->notes().size() == 1; }, 8000));
    EXPECT_EQ(b->notes().first()->id(), id);
    EXPECT_EQ(b->notes().first()->title(), QStringLiteral("Viaja"));
    EXPECT_TRUE(waitUntil([&] { return remoteChanges.count() > 0; }));
    ASSERT_TRUE(waitUntil([&] { return a->status->lastExport().has_value(); }));
    EXPECT_EQ(a->status->health(), SyncStatus::Health::working());
    ASSERT_TRUE(waitUntil([&] { return b->status->account().has_value(); }));
    EXPECT_EQ(*b->status->account(), QStringLiteral("Conectado"));
    EXPECT_TRUE(b->status->lastImport().has_value());

    // An edit reaches the very object the other computer's views hold.
    Note *shown = b->notes().first();
    a->notes().first()->setTitle(QStringLiteral("Viaja más"));
    ASSERT_TRUE(a->container->mainContext()->save());
    ASSERT_TRUE(waitUntil([&] { return shown->title() == QStringLiteral("Viaja más"); }, 8000));

    a->engine->stop();
    EXPECT_FALSE(a->engine->isRunning());
}

TEST_F(SyncEngineTest, EditsWaitingForTheirPassAreSentAtQuit)
{
    auto container = makeMemoryContainer();
    UserDefaults defaults(settings.filePath(QStringLiteral("quit.conf")));
    SyncTarget::inFolder(remote.path()).save(defaults);
    SyncEngine::Options options;
    // The pass of a save would come long after the quit.
    options.saveDelay = 10min;
    options.pollInterval = 10min;
    options.fileChangeDelay = 10min;
    options.dataDirectory = data.path();
    SyncEngine engine(container.get(), defaults, nullptr, options);
    QSignalSpy passes(&engine, &SyncEngine::cycleFinished);
    engine.start();
    ASSERT_TRUE(passes.wait(5000));
    auto note = std::make_unique<Note>();
    note->setTitle(QStringLiteral("Escrita al salir"));
    const QString name = note->id().toString(QUuid::WithoutBraces).toUpper();
    container->mainContext()->insert(std::move(note));
    ASSERT_TRUE(container->mainContext()->save());

    engine.pushPendingChanges(5s);
    engine.stop();
    EXPECT_TRUE(QFile::exists(
        remote.filePath(QStringLiteral("Orlette/notes/") + name + QStringLiteral(".json"))));
}

TEST_F(SyncEngineTest, ConfiguringATargetStartsTheMirroring)
{
    auto a = app(QStringLiteral("a"), false);
    a->engine->start();
    a->status->start();
    EXPECT_FALSE(a->engine->isConfigured());
    EXPECT_FALSE(a->engine->isRunning());
    EXPECT_EQ(a->status->health(), SyncStatus::Health::unavailable());

    SyncTarget::inFolder(remote.path()).save(a->defaults);
    EXPECT_TRUE(a->engine->isConfigured());
    EXPECT_NE(a->status->health(), SyncStatus::Health::unavailable());
    ASSERT_TRUE(waitUntil([&] { return a->status->health() == SyncStatus::Health::working(); }));
    EXPECT_TRUE(QFileInfo::exists(remote.filePath(QStringLiteral("Orlette/format.json"))));

    // A folder holding the live store is refused as a failed set-up.
    SyncTarget::inFolder(data.filePath(QStringLiteral("inside"))).save(a->defaults);
    ASSERT_TRUE(waitUntil([&] {
        return a->status->health() == SyncStatus::Health::broken(SyncStatus::setupFailedMessage);
    }));

    SyncTarget().save(a->defaults);
    EXPECT_EQ(a->status->health(), SyncStatus::Health::unavailable());
    EXPECT_FALSE(a->engine->isRunning());
}

TEST_F(SyncEngineTest, TheSharedFlagReachesTheOtherComputer)
{
    auto a = app(QStringLiteral("a"));
    auto b = app(QStringLiteral("b"));
    RemoteKeyValueStore valuesA(a->engine.get(), data.filePath(QStringLiteral("kvA.json")));
    RemoteKeyValueStore valuesB(b->engine.get(), data.filePath(QStringLiteral("kvB.json")));
    QSignalSpy changed(&valuesB, &KeyValueStore::didChangeExternally);
    a->engine->start();
    b->engine->start();
    EXPECT_FALSE(valuesB.boolValue(KeyValueStore::welcomeNotesCreated));

    valuesA.setBool(KeyValueStore::welcomeNotesCreated, true);
    valuesA.synchronize();
    ASSERT_TRUE(waitUntil(
        [&] {
            b->engine->syncNow();
            valuesB.synchronize();
            return valuesB.boolValue(KeyValueStore::welcomeNotesCreated);
        },
        8000));
    ASSERT_GE(changed.count(), 1);
    EXPECT_EQ(changed.first().first().toStringList(),
              QStringList{KeyValueStore::welcomeNotesCreated});
    ASSERT_TRUE(waitUntil([&] { return valuesB.synchronize(); }));

    // Kept across a restart, before any transfer.
    RemoteKeyValueStore reopened(nullptr, data.filePath(QStringLiteral("kvA.json")));
    EXPECT_TRUE(reopened.boolValue(KeyValueStore::welcomeNotesCreated));
    EXPECT_FALSE(reopened.synchronize());
}

TEST_F(SyncEngineTest, WithoutASecretServiceThePasswordIsMissingNotAHang)
{
    const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/orlette-test-bus");
    KeychainCredentials credentials(nullptr, 2000ms);
    std::optional<SyncResult<QString>> answer;
    credentials.readPassword(QStringLiteral("ana@https://example.invalid"),
                             [&](const SyncResult<QString> &password) { answer = password; });
    ASSERT_TRUE(waitUntil([&] { return answer.has_value(); }, 5000));
    ASSERT_FALSE(*answer);
    EXPECT_EQ(answer->error().code, SyncError::notAuthenticated);

    UserDefaults defaults(settings.filePath(QStringLiteral("dav.conf")));
    SyncTarget::onWebDav(QUrl(QStringLiteral("https://example.invalid/dav/")),
                         QStringLiteral("ana"))
        .save(defaults);
    auto container = makeMemoryContainer();
    SyncEngine::Options options;
    options.dataDirectory = data.path();
    SyncEngine engine(container.get(), defaults, &credentials, options);
    SyncStatus status(&engine);
    engine.start();
    status.start();
    ASSERT_TRUE(waitUntil(
        [&] { return status.health().kind() == SyncStatus::Health::Kind::broken; }, 6000));
    EXPECT_EQ(status.health().message(),
              QStringLiteral("Este Mac no ha iniciado sesión en iCloud."));
    ASSERT_TRUE(waitUntil([&] { return status.account().has_value(); }));
    EXPECT_EQ(*status.account(), QStringLiteral("Sin sesión de iCloud"));
    engine.stop();
    if (saved.isNull())
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    else
        qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
}

TEST_F(SyncEngineTest, AnUnreachableServerIsTriedAgainSoonerThanThePollButLessAndLessOften)
{
    // A port that was just free: connections to it are refused at once.
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    UserDefaults defaults(settings.filePath(QStringLiteral("offline.conf")));
    SyncTarget::onWebDav(QUrl(QStringLiteral("http://127.0.0.1:%1/dav/").arg(port)), QString())
        .save(defaults);
    auto container = makeMemoryContainer();
    SyncEngine::Options options;
    options.dataDirectory = data.path();
    // Long enough that a slow pass (a loaded machine, the sanitizers) cannot make a later
    // wait look shorter than the one before.
    options.retryDelay = 150ms;
    options.pollInterval = 1h;
    SyncEngine engine(container.get(), defaults, nullptr, options);
    SyncStatus status(&engine);

    QList<qint64> finishedAt;
    // How many passes had ended when the first one that left the mirroring healthy did:
    // the status turns healthy in the middle of a pass, before that pass ends.
    std::optional<qsizetype> healthyAfter;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&engine, &SyncEngine::cycleFinished, [&] {
        finishedAt.append(clock.elapsed());
        if (!healthyAfter && status.health().kind() == SyncStatus::Health::Kind::working)
            healthyAfter = finishedAt.size();
    });
    engine.start();
    status.start();
    ASSERT_TRUE(waitUntil([&] { return finishedAt.size() >= 4; }, 5000));
    EXPECT_EQ(status.health().message(), QStringLiteral("Sin conexión. Se reintentará solo."));
    // Each wait is about twice the one before.
    const qint64 first = finishedAt[2] - finishedAt[1];
    const qint64 second = finishedAt[3] - finishedAt[2];
    EXPECT_GE(first, 250);
    EXPECT_GT(second, first);

    // Once the target is one that answers, the tries stop.
    SyncTarget::inFolder(remote.path()).save(defaults);
    ASSERT_TRUE(waitUntil([&] { return healthyAfter.has_value(); }, 5000));
    QTest::qWait(800);
    EXPECT_EQ(finishedAt.size(), *healthyAfter) << "no retry after a pass that worked";
    engine.stop();
}

TEST_F(SyncEngineTest, AServerIsAskedForChangesMoreOftenThanAWatchedFolder)
{
    FakeWebDavServer server;
    UserDefaults defaults(settings.filePath(QStringLiteral("polls.conf")));
    SyncTarget::onWebDav(server.url(), QString()).save(defaults);
    auto container = makeMemoryContainer();
    SyncEngine::Options options;
    options.dataDirectory = data.path();
    options.pollInterval = 1h;
    options.webDavPollInterval = 80ms;
    // Only the polls are looked at here, not the folder's watcher.
    options.fileChangeDelay = 1h;
    SyncEngine engine(container.get(), defaults, nullptr, options);
    int passes = 0;
    QObject::connect(&engine, &SyncEngine::cycleFinished, [&] { ++passes; });
    engine.start();
    ASSERT_TRUE(waitUntil([&] { return passes >= 4; }, 5000)) << "the server is asked again";

    // A folder has its watcher: only the pass at the change of target, then quiet.
    const int before = passes;
    SyncTarget::inFolder(remote.path()).save(defaults);
    ASSERT_TRUE(waitUntil([&] { return passes > before; }));
    // (A last answer of the server may still have been on its way.)
    QTest::qWait(200);
    const int settled = passes;
    QTest::qWait(500);
    EXPECT_EQ(passes, settled);
    engine.stop();
}

TEST_F(SyncEngineTest, BetweenPollsAServerIsAskedCheaplyWhetherAnythingChanged)
{
    for (const bool serverKeepsFolderTags : {true, false}) {
        FakeWebDavServer server;
        server.folderTags = serverKeepsFolderTags;
        const auto computer = [&](const QString &name) {
            auto app = std::make_unique<App>(settings.filePath(name + QStringLiteral(".conf")),
                                             QString(), data.path());
            SyncTarget::onWebDav(server.url(), QString()).save(app->defaults);
            SyncEngine::Options options;
            options.saveDelay = 20ms;
            options.pollInterval = 1h;
            options.webDavPollInterval = 1h;
            options.webDavProbeInterval = 50ms;
            options.dataDirectory = data.path();
            app->status.reset();
            app->engine =
                std::make_unique<SyncEngine>(app->container.get(), app->defaults, nullptr, options);
            app->engine->start();
            return app;
        };
        auto a = computer(QStringLiteral("probeA"));
        auto b = computer(QStringLiteral("probeB"));
        ASSERT_TRUE(waitUntil([&] { return !server.files.isEmpty(); })) << "the folder is set up";
        QTest::qWait(600);

        // While nothing changes, the questions start no passes.
        int passesOfB = 0;
        QObject::connect(b->engine.get(), &SyncEngine::cycleFinished, [&] { ++passesOfB; });
        QTest::qWait(400);
        EXPECT_EQ(passesOfB, 0);

        auto note = std::make_unique<Note>();
        note->setTitle(QStringLiteral("Recado"));
        a->container->mainContext()->insert(std::move(note));
        EXPECT_TRUE(a->container->mainContext()->save());
        const bool arrived = waitUntil([&] { return b->notes().size() == 1; }, 2000);
        EXPECT_EQ(arrived, serverKeepsFolderTags)
            << (serverKeepsFolderTags ? "the change is noticed between polls"
                                      : "without folder tags only the poll would bring it");
        a->engine->stop();
        b->engine->stop();
    }
}
