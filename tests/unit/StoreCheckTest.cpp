// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/StoreCheck.h"
#include "model/AppPaths.h"
#include "model/AppSettings.h"
#include "model/ModelContext.h"
#include "model/Note.h"

#include "StoreSabotage.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;

namespace {

const QStringList storeFiles{"default.store", "default.store-wal", "default.store-shm"};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList titlesIn(const QString &storePath)
{
    auto created = ModelContainer::create(ModelConfiguration::onDisk(storePath, true));
    EXPECT_TRUE(created) << (created ? "" : created.error().description.toStdString());
    QStringList titles;
    if (!created)
        return titles;
    const auto container = std::move(created).value();
    const auto notes = container->mainContext()->fetch(
        FetchDescriptor{{}, {SortDescriptor{Note::Field::title, true}}, {}});
    for (const Note *note : notes.value_or(QList<Note *>()))
        titles << note->title();
    return titles;
}

class StoreResetTest : public ::testing::Test
{
protected:
    StoreResetTest()
    {
        environment.dataDirectory = data.path();
        environment.now = QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9));
        environment.waitForOtherUsers = 100ms;
        environment.moveFile = [](const QString &from, const QString &to) {
            return QFile::rename(from, to);
        };
    }

    QString dataFile(const QString &name) const { return data.filePath(name); }
    QString expectedFolder() const { return data.filePath("Respaldos/almacen-20260305-140709"); }

    // A store whose latest notes are only in its write-ahead log, as a process leaves it
    // when it ends without closing the store.
    void leaveStoreWithLog(const QString &folder, const QStringList &titles)
    {
        QTemporaryDir live;
        auto created = ModelContainer::create(
            ModelConfiguration::onDisk(live.filePath("default.store"), true));
        ASSERT_TRUE(created);
        const auto container = std::move(created).value();
        for (const QString &title : titles) {
            auto note = std::make_unique<Note>();
            note->setTitle(title);
            container->mainContext()->insert(std::move(note));
        }
        ASSERT_TRUE(container->mainContext()->save());
        ASSERT_GT(QFileInfo(live.filePath("default.store-wal")).size(), 0);
        for (const QString &name : storeFiles)
            ASSERT_TRUE(QFile::copy(live.filePath(name), folder + "/" + name))
                << name.toStdString();
    }
    void request()
    {
        defaults.defaults().setValue(AppSettings::Keys::reiniciarSincronizacion, true);
    }
    bool requestedOnDisk() const
    {
        return UserDefaults(defaults.path()).boolValue(AppSettings::Keys::reiniciarSincronizacion);
    }

    ScopedDefaults defaults;
    QTemporaryDir data;
    StoreCheck::ResetEnvironment environment;
};

Note *addWithId(ModelContext &context, const QUuid &id)
{
    auto note = std::make_unique<Note>();
    note->setId(id);
    return context.insert(std::move(note));
}

} // namespace

TEST(StoreCheck, CountsRepeatedIdentifiersAndWordsTheExtraCopies)
{
    auto container = makeMemoryContainer();
    ModelContext &context = *container->mainContext();
    EXPECT_EQ(StoreCheck::run(context), StoreCheck::Report{});

    const QUuid a = QUuid::createUuid(), b = QUuid::createUuid(), c = QUuid::createUuid();
    for (const QUuid &id : {b, c})
        addWithId(context, id);
    ASSERT_TRUE(context.save());
    EXPECT_EQ(StoreCheck::run(context), (StoreCheck::Report{2, 0, 0}));

    // A, A, A, B, C, C; the trash and unsaved notes count like any other.
    addWithId(context, a)->setDeletedAt(QDateTime::currentDateTimeUtc());
    addWithId(context, a);
    ASSERT_TRUE(context.save());
    addWithId(context, a);
    addWithId(context, c);
    const StoreCheck::Report report = StoreCheck::run(context);
    EXPECT_EQ(report, (StoreCheck::Report{6, 2, 3}));
    EXPECT_EQ(report.extraCopiesText(), "3 copias de más");

    EXPECT_EQ((StoreCheck::Report{3, 1, 2}).extraCopiesText(), "2 copias de más");
    EXPECT_EQ((StoreCheck::Report{2, 1, 1}).extraCopiesText(), "1 copia de más");

    ASSERT_TRUE(context.save());
    StoreSabotage sabotage(*container);
    sabotage.failReads();
    EXPECT_EQ(StoreCheck::run(context), StoreCheck::Report{}) << "a failed fetch hides the block";
}

TEST_F(StoreResetTest, MovesTheWholeStoreIntoADatedBackupThatStillOpens)
{
    leaveStoreWithLog(data.path(), {"Compra", "Ideas"});
    request();

    const auto folder = StoreCheck::resetIfRequested(defaults.defaults(), environment);
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, expectedFolder());
    EXPECT_FALSE(requestedOnDisk());
    for (const QString &name : storeFiles)
        EXPECT_FALSE(QFileInfo::exists(dataFile(name))) << name.toStdString();

    // The notes that were only in the log are in the backup.
    EXPECT_EQ(titlesIn(*folder + "/default.store"), (QStringList{"Compra", "Ideas"}));
    EXPECT_TRUE(titlesIn(dataFile("default.store")).isEmpty()) << "the next store starts empty";

    // Read once: the next start does nothing.
    EXPECT_FALSE(StoreCheck::resetIfRequested(defaults.defaults(), environment));
}

TEST_F(StoreResetTest, OnlyARequestWithAStoreMakesABackup)
{
    leaveStoreWithLog(data.path(), {"Compra"});
    EXPECT_FALSE(StoreCheck::resetIfRequested(defaults.defaults(), environment));
    EXPECT_TRUE(QFileInfo::exists(dataFile("default.store-wal")));

    QFile::remove(dataFile("default.store"));
    request();
    EXPECT_FALSE(StoreCheck::resetIfRequested(defaults.defaults(), environment));
    EXPECT_FALSE(requestedOnDisk());
    EXPECT_FALSE(QFileInfo::exists(data.filePath("Respaldos")));

    request();
    environment.dataDirectory = data.filePath("no-existe");
    EXPECT_FALSE(StoreCheck::resetIfRequested(defaults.defaults(), environment));
    EXPECT_FALSE(requestedOnDisk());
    EXPECT_FALSE(QFileInfo::exists(environment.dataDirectory));
}

TEST_F(StoreResetTest, AStoreClosedCleanlyIsOneFile)
{
    {
        auto created =
            ModelContainer::create(ModelConfiguration::onDisk(dataFile("default.store"), true));
        ASSERT_TRUE(created);
        const auto container = std::move(created).value();
        container->mainContext()->insert(std::make_unique<Note>());
        ASSERT_TRUE(container->mainContext()->save());
    }
    ASSERT_FALSE(QFileInfo::exists(dataFile("default.store-wal")));
    request();
    const auto folder = StoreCheck::resetIfRequested(defaults.defaults(), environment);
    ASSERT_TRUE(folder);
    EXPECT_EQ(QDir(*folder).entryList(QDir::Files), QStringList{"default.store"});
    EXPECT_EQ(titlesIn(*folder + "/default.store").size(), 1);
}

TEST_F(StoreResetTest, WaitsForAPreviousInstanceToLetGoOfTheStore)
{
    leaveStoreWithLog(data.path(), {"Compra"});
    SqliteDatabase previous;
    ASSERT_TRUE(
        previous.open(dataFile("default.store"), SqliteDatabase::OpenMode::readWriteExisting));
    const auto count = previous.scalar("SELECT count(*) FROM Note");
    ASSERT_TRUE(count && count->isValid());

    {
        SCOPED_TRACE("it never lets go: no reset, nothing moved, the request kept");
        request();
        EXPECT_FALSE(StoreCheck::resetIfRequested(defaults.defaults(), environment));
        EXPECT_TRUE(requestedOnDisk());
        EXPECT_TRUE(QFileInfo::exists(dataFile("default.store-wal")));
        EXPECT_FALSE(QFileInfo::exists(data.filePath("Respaldos")));
    }
    {
        SCOPED_TRACE("it closes while the reset waits");
        request();
        environment.waitForOtherUsers = 10s;
        std::thread closing([&previous] {
            std::this_thread::sleep_for(150ms);
            previous.close();
        });
        const auto folder = StoreCheck::resetIfRequested(defaults.defaults(), environment);
        closing.join();
        ASSERT_TRUE(folder);
        EXPECT_EQ(titlesIn(*folder + "/default.store"), QStringList{"Compra"});
    }
}

TEST_F(StoreResetTest, AFailedMoveNeverSplitsTheStore)
{
    {
        SCOPED_TRACE("a backup of the same second is in the way of the main file");
        leaveStoreWithLog(data.path(), {"Compra", "Ideas"});
        ASSERT_TRUE(QDir().mkpath(expectedFolder()));
        writeFile(expectedFolder() + "/default.store", "copia anterior");
        request();
        EXPECT_FALSE(StoreCheck::resetIfRequested(defaults.defaults(), environment));
        EXPECT_EQ(readAll(expectedFolder() + "/default.store"), "copia anterior");
        EXPECT_EQ(titlesIn(dataFile("default.store")), (QStringList{"Compra", "Ideas"}));
        ASSERT_TRUE(QDir(data.filePath("Respaldos")).removeRecursively());
    }

    // Files SQLite cannot read are moved as they are; these stand for a store whose log
    // could not be folded into it.
    for (const QString &name : storeFiles)
        writeFile(dataFile(name), name.toUtf8());
    QStringList attempts;
    QString failing;
    environment.moveFile = [&](const QString &from, const QString &to) {
        attempts << QFileInfo(from).fileName() + " -> " + QDir(data.path()).relativeFilePath(to);
        return !from.endsWith(failing) && QFile::rename(from, to);
    };
    {
        SCOPED_TRACE("the main file cannot move: its companions stay with it");
        failing = "default.store";
        request();
        EXPECT_FALSE(StoreCheck::resetIfRequested(defaults.defaults(), environment));
        EXPECT_EQ(attempts.size(), 1);
        for (const QString &name : storeFiles)
            EXPECT_EQ(readAll(dataFile(name)), name.toUtf8());
        EXPECT_FALSE(QFileInfo::exists(expectedFolder())) << "the empty backup folder goes";
    }
    {
        SCOPED_TRACE("the log cannot follow: the main file comes back");
        attempts.clear();
        failing = "-wal";
        request();
        EXPECT_FALSE(StoreCheck::resetIfRequested(defaults.defaults(), environment));
        EXPECT_EQ(attempts,
                  (QStringList{"default.store -> Respaldos/almacen-20260305-140709/default.store",
                               "default.store-wal -> "
                               "Respaldos/almacen-20260305-140709/default.store-wal",
                               "default.store -> default.store"}));
        for (const QString &name : storeFiles)
            EXPECT_EQ(readAll(dataFile(name)), name.toUtf8());
        EXPECT_FALSE(QFileInfo::exists(expectedFolder()));
    }
    {
        SCOPED_TRACE("the index cannot move: SQLite rebuilds it, the reset stands");
        failing = "-shm";
        request();
        const auto folder = StoreCheck::resetIfRequested(defaults.defaults(), environment);
        ASSERT_TRUE(folder);
        EXPECT_EQ(readAll(*folder + "/default.store"), "default.store");
        EXPECT_EQ(readAll(*folder + "/default.store-wal"), "default.store-wal");
        EXPECT_FALSE(QFileInfo::exists(dataFile("default.store")));
        EXPECT_FALSE(QFileInfo::exists(dataFile("default.store-wal")));
    }
}

TEST_F(StoreResetTest, TheApplicationsOwnFolderAndClock)
{
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    ASSERT_TRUE(QDir().mkpath(AppPaths::dataDirectory()));
    leaveStoreWithLog(AppPaths::dataDirectory(), {"Compra"});
    request();
    const auto folder = StoreCheck::resetIfRequested();
    if (saved.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", saved);

    ASSERT_TRUE(folder);
    const QRegularExpression name(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(data.path()) + "/Orlette/Respaldos/almacen-\\d{8}-\\d{6}"));
    EXPECT_TRUE(name.match(*folder).hasMatch()) << folder->toStdString();
    EXPECT_EQ(titlesIn(*folder + "/default.store"), QStringList{"Compra"});
}

TEST_F(StoreResetTest, RequestIsOnDiskBeforeTheNewInstanceStarts)
{
    QStringList steps;
    StoreCheck::requestReset(
        defaults.defaults(),
        [&] {
            steps << (requestedOnDisk() ? "relaunch after the flag" : "relaunch before the flag");
            return false; // the new instance could not start
        },
        [&] { steps << "quit"; });
    EXPECT_EQ(steps, (QStringList{"relaunch after the flag", "quit"}));
    EXPECT_TRUE(requestedOnDisk()) << "the next launch by hand carries out the reset";
}
