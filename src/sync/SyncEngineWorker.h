// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncEvent.h"
#include "sync/SyncKeyValueMerge.h"
#include "sync/SyncMirroring.h"
#include "sync/SyncPass.h"
#include "sync/SyncStateStore.h"
#include "sync/SyncTarget.h"
#include "sync/SyncTransport.h"

#include <QJsonObject>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>

class ModelContainer;
class ModelContext;

// One mirroring pass at a time between the store and the target, run step by step:
// set-up of the remote folder (`SyncRemoteSetUp`), what changed here (`SyncLocalScan`),
// import of what changed there (`SyncImporter`), export of what changed here
// (`SyncExporter`), and the shared key-value document (`SyncKeyValueMerge`). Blocking; lives
// on the mirroring's worker thread (or on the caller's thread in tests) and reports its
// events as signals.
class SyncEngineWorker : public QObject
{
    Q_OBJECT

public:
    using TransportFactory = std::function<std::unique_ptr<SyncTransport>()>;

    struct Options
    {
        // Milliseconds since the epoch; the system clock when empty.
        std::function<qint64()> clock;
        // Shown in the files this computer writes.
        QString deviceName;
        // The live store's folder, which a target folder must stay clear of.
        QString dataDirectory;
        // Cycles run again at once after a write lost a race, at most this many times.
        int conflictRetries = 3;
        // How often the target is asked again whether it honours conditional writes.
        qint64 conditionalWriteCheckInterval = 6 * 3600 * 1000;
    };

    static inline const QString formatFile = SyncPaths::formatFile;
    static inline const QString notesFolder = SyncPaths::notesFolder;
    static inline const QString keyValueFile = SyncPaths::keyValueFile;

    SyncEngineWorker(ModelContainer *container, const SyncTarget &target,
                     TransportFactory transportFactory, Options options, QObject *parent = nullptr);
    ~SyncEngineWorker() override;

    // A whole pass; a pass asked for while one runs follows it at once.
    void runCycle();
    // A pass that first forgets what the target was known to hold, so that every note
    // is sent again and a lost remote copy is made anew (never where a drive should be
    // mounted); deletes nothing.
    void sendAgain();
    // Runs a pass if the target's folders changed since the last pass began, as far as
    // one question per folder can tell; a target that keeps no folder tags is left to the
    // poll.
    void checkForChanges();
    void requestAccountStatus();
    void requestZoneNames();
    // The key-value document as this computer holds it: key → {value, modifiedAt}.
    void setLocalKeyValues(const QJsonObject &values);
    // Ends the pass in progress as soon as possible (any thread).
    void cancel();

    // The key-value document after a merge: newer value per key, ties to true.
    static QJsonObject mergeKeyValues(const QJsonObject &local, const QJsonObject &remote)
    {
        return SyncKeyValueMerge::merge(local, remote);
    }

Q_SIGNALS:
    void eventChanged(const SyncEvent &event);
    void accountStatusReady(SyncMirroring::AccountStatus status,
                            const std::optional<SyncError> &error);
    void zoneNamesReady(const QStringList &names, const std::optional<SyncError> &error);
    // The key-value document as merged in the last pass; `ok` false when it could not be
    // read or written.
    void keyValuesSynced(const QJsonObject &values, bool ok);
    // How many notes of this computer the target holds after a pass's import; 0 when
    // the remote copy is gone or empty, -1 when the target could not be reached.
    void remoteNotesCounted(int count);
    void cycleFinished();

private:
    class EventScope;

    void cycleOnce();
    SyncResult<void> prepare();
    SyncResult<void> forgetRemoteIfAsked();
    bool checkConditionalWrites();
    // After an import: folder tags that stayed the same while the listing changed are
    // not change tags, and changes are looked for by listing instead.
    void judgeFolderTags(const QByteArray &listing);
    bool reachTarget();
    void emitAccountStatus(const Expected<void, SyncAccountProblem> &account);
    SyncResult<void> importStep();
    void exportStep();
    // Another pass follows this one at once, a bounded number of times per request.
    void askForAnotherPass();
    void finishKeyValues(bool ok);
    SyncPassEnvironment environment();

    bool isCancelled() const { return m_cancelled.load(); }
    qint64 now() const;
    QString deviceId();

    QPointer<ModelContainer> m_container;
    SyncTarget m_target;
    TransportFactory m_transportFactory;
    Options m_options;
    std::unique_ptr<SyncTransport> m_transport;
    SyncStateStore m_state;
    QString m_deviceId;
    bool m_isSetUp = false;
    QStringList currentFolderTags();

    // The target's folder tags when the last pass began; empty when unknown.
    QStringList m_folderTags;
    // Those of the pass before, and the digests of the two passes' listings.
    QStringList m_previousFolderTags;
    QByteArray m_listing;
    // The target's folder tags were seen not to change with its files.
    bool m_folderTagsUntrusted = false;
    // When the target last showed that it refuses writes whose condition fails.
    std::optional<qint64> m_conditionalWritesChecked;
    bool m_running = false;
    bool m_again = false;
    // The next pass starts by forgetting the remote copy.
    bool m_sendAgain = false;
    int m_conflictRounds = 0;
    std::atomic<bool> m_cancelled{false};

    SyncKeyValueMerge m_keyValues;
    // The target's records the last import refused, by name.
    QHash<QString, SyncError> m_refused;
};
