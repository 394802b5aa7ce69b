// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncCredentials.h"
#include "sync/SyncMirroring.h"
#include "sync/SyncTarget.h"

#include <QJsonObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <optional>

class ModelContainer;
class QFileSystemWatcher;
class QThread;
class QTimer;
class SyncEngineWorker;
class UserDefaults;

// Mirrors the note store to the target named in the settings. Lives on the main thread;
// the transfers run on a worker thread with a store connection of its own, whose saves
// reach the main context as remote changes. A pass runs at start, a few seconds after
// each save of the main context, on a timer, when the target folder changes, and on
// request. Settings changes that name another target are picked up by themselves.
class SyncEngine : public SyncMirroring
{
    Q_OBJECT

public:
    struct Options
    {
        std::chrono::milliseconds saveDelay{3000};
        std::chrono::milliseconds pollInterval{std::chrono::minutes(2)};
        // A server tells nobody of its changes, where a folder has its watcher: it is
        // asked more often.
        std::chrono::milliseconds webDavPollInterval{std::chrono::seconds(30)};
        // Between polls a server is asked, in one cheap question per folder, whether
        // anything changed.
        std::chrono::milliseconds webDavProbeInterval{std::chrono::seconds(5)};
        std::chrono::milliseconds fileChangeDelay{1500};
        // After a pass that could not reach the target, the next one comes this much later,
        // twice as late after each further such pass, and never later than the poll.
        std::chrono::milliseconds retryDelay{5000};
        std::chrono::milliseconds requestTimeout{30000};
        // The live store's folder, which a target folder must stay clear of; the
        // application's data folder when empty.
        QString dataDirectory;
        // Milliseconds since the epoch; the system clock when empty.
        std::function<qint64()> clock;
    };

    // `credentials` keeps the WebDAV password; may be null when only folders are used.
    SyncEngine(ModelContainer *container, UserDefaults &defaults, SyncCredentials *credentials,
               QObject *parent = nullptr);
    SyncEngine(ModelContainer *container, UserDefaults &defaults, SyncCredentials *credentials,
               const Options &options, QObject *parent = nullptr);
    ~SyncEngine() override;

    void start();
    // Stops the worker (ending a transfer in progress) and every trigger.
    void stop();
    // Runs a pass now (or right after the one in progress).
    void syncNow();
    // At quit: when saves are still waiting for their pass, runs it and waits for its end,
    // at most `bound`; then the engine can stop without leaving them for the next launch.
    void pushPendingChanges(std::chrono::milliseconds bound);
    // Reads the target from the settings again; a different one restarts the mirroring.
    void reconfigure();

    bool isStarted() const { return m_started; }
    // A pass can run (started, configured and, for WebDAV, the password looked up).
    bool isRunning() const { return m_worker != nullptr; }
    bool isConfigured() const override;
    const SyncTarget &target() const { return m_target; }
    void requestAccountStatus() override;
    void requestZoneNames() override;
    void requestPass() override { syncNow(); }
    void requestSendAgain() override;

    // Keeps the WebDAV password of the configured target and restarts the mirroring.
    void setWebDavPassword(const QString &password, SyncCredentials::WriteDone done = {});
    // The key-value document as this computer holds it (key → {value, modifiedAt}),
    // merged with the target's at the next pass.
    void setKeyValues(const QJsonObject &values);

Q_SIGNALS:
    // The key-value document after a pass; `ok` false when it could not be exchanged.
    void keyValuesSynced(const QJsonObject &values, bool ok);
    void cycleFinished();

private:
    void launch();
    void launchWorker(const std::optional<QString> &password,
                      const std::optional<SyncError> &credentialError);
    void stopWorker();
    void watchFolder();
    template <typename Call> void onWorker(Call call);
    void noteEvent(const SyncEvent &event);
    std::chrono::milliseconds pollInterval() const;
    void scheduleRetry();

    QPointer<ModelContainer> m_container;
    UserDefaults &m_defaults;
    QPointer<SyncCredentials> m_credentials;
    Options m_options;
    SyncTarget m_target;
    bool m_started = false;
    // Bumped whenever the worker is replaced, so late answers for an old one are dropped.
    quint64 m_generation = 0;
    QThread *m_thread = nullptr;
    SyncEngineWorker *m_worker = nullptr;
    QTimer *m_saveTimer = nullptr;
    QTimer *m_pollTimer = nullptr;
    QTimer *m_fileTimer = nullptr;
    QTimer *m_retryTimer = nullptr;
    QTimer *m_probeTimer = nullptr;
    std::chrono::milliseconds m_nextRetry{0};
    // The pass in progress found the target out of reach.
    bool m_unreachable = false;
    QFileSystemWatcher *m_folderWatcher = nullptr;
    QJsonObject m_keyValues;
};
