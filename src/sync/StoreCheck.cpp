// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/StoreCheck.h"

#include "model/AppPaths.h"
#include "model/AppSettings.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/PrivateFiles.h"
#include "model/SqliteDatabase.h"
#include "model/UserDefaults.h"
#include "platform/Relaunch.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QThread>

#include <tuple>

#include <sqlite3.h>

namespace StoreCheck {

namespace {

const QString storeName = QStringLiteral("default.store");
const QString writeAheadLog = QStringLiteral("-wal");
const QString sharedMemory = QStringLiteral("-shm");
const QString stampPattern = QStringLiteral("yyyyMMdd-HHmmss");

enum class Folding
{
    // The log is in the main file and nobody else has the store open.
    folded,
    // Another connection (a previous instance still closing) holds the store.
    busy,
    // Not a store SQLite can work on; it is moved as it is.
    unreadable,
};

// A store in WAL mode is three files that only make sense together, and a process that
// still has them open deletes the log by name when it closes, even after a move.
// Leaving WAL mode needs the store to ourselves and folds the log into the main file,
// so that one rename moves the whole store.
Folding foldWriteAheadLog(const QString &storePath, std::chrono::milliseconds wait)
{
    // SQLite would take a companion log beside a file it cannot read as its own and
    // rewrite it; a file that is not a database is left to the move as it is.
    QFile file(storePath);
    if (!file.open(QIODevice::ReadOnly) || file.read(16) != QByteArray("SQLite format 3", 16))
        return Folding::unreadable;
    file.close();

    SqliteDatabase database;
    if (!database.open(storePath, SqliteDatabase::OpenMode::readWriteExisting))
        return Folding::unreadable;
    sqlite3_busy_timeout(database.handle(), 100);
    // A first read lets SQLite finish whatever a crash interrupted (a hot journal, an
    // unindexed log) before the mode changes.
    std::ignore = database.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const auto mode = database.scalar(QStringLiteral("PRAGMA journal_mode=DELETE"));
        if (mode && mode->toString().compare(QStringLiteral("delete"), Qt::CaseInsensitive) == 0)
            return Folding::folded;
        const int primary = mode ? 0 : mode.error().code & 0xff;
        // A mode other than "delete" means another connection still holds the log.
        const bool busy =
            (mode && mode->isValid()) || primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
        if (!busy)
            return Folding::unreadable;
        if (waited.elapsed() >= wait.count())
            return Folding::busy;
        QThread::msleep(25);
    }
}

// Moves the store into `folder` as a whole or not at all: the log never leaves without
// the main file, and if it cannot follow, the main file comes back. The shared-memory
// index holds nothing that SQLite does not rebuild, so failing to move it is harmless.
bool moveStore(const QString &dataDirectory, const QString &folder,
               const std::function<bool(const QString &, const QString &)> &moveFile)
{
    const QString main = dataDirectory + QLatin1Char('/') + storeName;
    const QString backup = folder + QLatin1Char('/') + storeName;
    if (!moveFile(main, backup))
        return false;
    if (QFileInfo::exists(main + writeAheadLog) &&
        !moveFile(main + writeAheadLog, backup + writeAheadLog)) {
        moveFile(backup, main);
        return false;
    }
    if (QFileInfo::exists(main + sharedMemory))
        moveFile(main + sharedMemory, backup + sharedMemory);
    return true;
}

bool renameWithoutReplacing(const QString &from, const QString &to)
{
    // QFile::rename refuses to replace an existing file.
    return QFile::rename(from, to);
}

} // namespace

QString Report::extraCopiesText() const
{
    if (extraCopies == 1)
        return QStringLiteral("1 copia de más");
    return QString::number(extraCopies) + QStringLiteral(" copias de más");
}

Report run(ModelContext &context)
{
    const QList<Note *> notes = context.fetch(FetchDescriptor{}).value_or(QList<Note *>());
    QHash<QUuid, int> counts;
    for (const Note *note : notes)
        ++counts[note->id()];
    Report report;
    report.total = int(notes.size());
    for (const int count : std::as_const(counts)) {
        if (count > 1) {
            ++report.repeated;
            report.extraCopies += count - 1;
        }
    }
    return report;
}

ResetEnvironment ResetEnvironment::current()
{
    ResetEnvironment environment;
    environment.dataDirectory = AppPaths::dataDirectory();
    environment.now = QDateTime::currentDateTime();
    environment.moveFile = renameWithoutReplacing;
    return environment;
}

QString backupFolderName(const QDateTime &now)
{
    return QStringLiteral("almacen-") + now.toString(stampPattern);
}

std::optional<QString> resetIfRequested()
{
    return resetIfRequested(UserDefaults::standard(), ResetEnvironment::current());
}

std::optional<QString> resetIfRequested(UserDefaults &defaults, const ResetEnvironment &environment)
{
    const QString &key = AppSettings::Keys::reiniciarSincronizacion;
    if (!defaults.boolValue(key))
        return std::nullopt;
    // Cleared before any file work, so that whatever fails below is not tried again at
    // every start.
    defaults.setValue(key, false);
    defaults.synchronize();

    const QDir data(environment.dataDirectory);
    if (environment.dataDirectory.isEmpty() || !data.exists())
        return std::nullopt;
    const QString storePath = data.filePath(storeName);
    if (!QFileInfo::exists(storePath))
        return std::nullopt;
    if (foldWriteAheadLog(storePath, environment.waitForOtherUsers) == Folding::busy) {
        // The previous instance still holds the store: the confirmed reset waits for the
        // next start instead of being forgotten.
        defaults.setValue(key, true);
        defaults.synchronize();
        qWarning("Orlette: la sincronización se reiniciará en el próximo arranque: otra "
                 "instancia aún usa el almacén.");
        return std::nullopt;
    }

    const QString folder =
        data.filePath(QStringLiteral("Respaldos/") + backupFolderName(environment.now));
    if (!PrivateFiles::makeFolder(folder))
        return std::nullopt;
    const auto moveFile = environment.moveFile ? environment.moveFile : renameWithoutReplacing;
    if (!moveStore(data.absolutePath(), folder, moveFile)) {
        // Only removes the folder if nothing is in it.
        QDir().rmdir(folder);
        return std::nullopt;
    }
    return folder;
}

void requestReset()
{
    requestReset(UserDefaults::standard(), startNewInstance, [] { QCoreApplication::quit(); });
}

void requestReset(UserDefaults &defaults, const std::function<bool()> &startNewInstance,
                  const std::function<void()> &quit)
{
    defaults.setValue(AppSettings::Keys::reiniciarSincronizacion, true);
    defaults.synchronize();
    // Whether or not the new instance starts, this one ends: if it did not start, the
    // reset happens at the next launch by hand.
    startNewInstance();
    quit();
}

bool startNewInstance()
{
    QStringList arguments = QCoreApplication::arguments().mid(1);
    arguments.removeAll(Relaunch::argument);
    arguments << Relaunch::argument;
    return QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments);
}

} // namespace StoreCheck
