// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncEngine.h"

#include "model/AppPaths.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/UserDefaults.h"
#include "sync/FolderTransport.h"
#include "sync/SyncCredentials.h"
#include "sync/SyncEngineWorker.h"

#include <QSemaphore>

#include "sync/WebDavTransport.h"
#include <atomic>

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QThread>
#include <QTimer>

#include <algorithm>

SyncEngine::SyncEngine(ModelContainer *container, UserDefaults &defaults,
                       SyncCredentials *credentials, QObject *parent)
    : SyncEngine(container, defaults, credentials, Options(), parent)
{
}

SyncEngine::SyncEngine(ModelContainer *container, UserDefaults &defaults,
                       SyncCredentials *credentials, const Options &options, QObject *parent)
    : SyncMirroring(parent), m_container(container), m_defaults(defaults),
      m_credentials(credentials), m_options(options), m_target(SyncTarget::fromDefaults(defaults))
{
    if (m_options.dataDirectory.isEmpty())
        m_options.dataDirectory = AppPaths::dataDirectory();

    m_saveTimer = new QTimer(this);
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(m_options.saveDelay);
    connect(m_saveTimer, &QTimer::timeout, this, &SyncEngine::syncNow);

    m_pollTimer = new QTimer(this);
    connect(m_pollTimer, &QTimer::timeout, this, &SyncEngine::syncNow);

    m_fileTimer = new QTimer(this);
    m_fileTimer->setSingleShot(true);
    m_fileTimer->setInterval(m_options.fileChangeDelay);
    connect(m_fileTimer, &QTimer::timeout, this, &SyncEngine::syncNow);

    m_probeTimer = new QTimer(this);
    connect(m_probeTimer, &QTimer::timeout, this,
            [this] { onWorker([](SyncEngineWorker *worker) { worker->checkForChanges(); }); });

    m_retryTimer = new QTimer(this);
    m_retryTimer->setSingleShot(true);
    m_nextRetry = m_options.retryDelay;
    connect(m_retryTimer, &QTimer::timeout, this, &SyncEngine::syncNow);

    if (m_container) {
        connect(m_container->mainContext(), &ModelContext::didSave, m_saveTimer,
                qOverload<>(&QTimer::start));
    }
    connect(&m_defaults, &UserDefaults::didChange, this, &SyncEngine::reconfigure);
}

SyncEngine::~SyncEngine()
{
    stopWorker();
}

bool SyncEngine::isConfigured() const
{
    return m_target.isConfigured();
}

void SyncEngine::start()
{
    if (m_started)
        return;
    m_started = true;
    launch();
}

void SyncEngine::stop()
{
    m_started = false;
    stopWorker();
}

void SyncEngine::launch()
{
    if (!m_started || !m_target.isConfigured())
        return;
    const quint64 generation = ++m_generation;
    if (m_target.kind == SyncTarget::Kind::webDav && !m_target.webDavUser.isEmpty()) {
        if (!m_credentials) {
            launchWorker(std::nullopt,
                         SyncError::make(SyncError::notAuthenticated,
                                         QStringLiteral("No hay almacén de secretos.")));
            return;
        }
        // The password is looked up on this thread and handed to the worker.
        m_credentials->readPassword(m_target.credentialAccount(),
                                    [this, weak = QPointer<SyncEngine>(this),
                                     generation](const SyncResult<QString> &password) {
                                        if (!weak || generation != m_generation || !m_started)
                                            return;
                                        if (password)
                                            launchWorker(*password, std::nullopt);
                                        else
                                            launchWorker(std::nullopt, password.error());
                                    });
        return;
    }
    launchWorker(std::nullopt, std::nullopt);
}

void SyncEngine::launchWorker(const std::optional<QString> &password,
                              const std::optional<SyncError> &credentialError)
{
    stopWorker();

    SyncEngineWorker::TransportFactory factory;
    const SyncTarget target = m_target;
    const auto timeout = m_options.requestTimeout;
    if (target.kind == SyncTarget::Kind::folder) {
        factory = [target] { return std::make_unique<FolderTransport>(target.folder); };
    } else {
        factory = [target, password, credentialError, timeout] {
            return std::make_unique<WebDavTransport>(target.webDavUrl, target.webDavUser, password,
                                                     credentialError, timeout);
        };
    }
    SyncEngineWorker::Options options;
    options.clock = m_options.clock;
    options.dataDirectory = m_options.dataDirectory;

    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("OrletteSync"));
    m_worker = new SyncEngineWorker(m_container, target, std::move(factory), options);
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &SyncEngineWorker::eventChanged, this, &SyncEngine::noteEvent);
    connect(m_worker, &SyncEngineWorker::eventChanged, this, &SyncMirroring::eventChanged);
    connect(m_worker, &SyncEngineWorker::accountStatusReady, this,
            &SyncMirroring::accountStatusReady);
    connect(m_worker, &SyncEngineWorker::zoneNamesReady, this, &SyncMirroring::zoneNamesReady);
    connect(m_worker, &SyncEngineWorker::keyValuesSynced, this, &SyncEngine::keyValuesSynced);
    connect(m_worker, &SyncEngineWorker::remoteNotesCounted, this,
            &SyncMirroring::remoteNotesCounted);
    connect(m_worker, &SyncEngineWorker::cycleFinished, this, [this] {
        scheduleRetry();
        watchFolder();
        Q_EMIT cycleFinished();
    });
    m_thread->start();

    onWorker([values = m_keyValues](SyncEngineWorker *worker) {
        worker->setLocalKeyValues(values);
        worker->runCycle();
    });
    m_pollTimer->start(pollInterval());
    if (target.kind == SyncTarget::Kind::webDav)
        m_probeTimer->start(m_options.webDavProbeInterval);
    watchFolder();
}

std::chrono::milliseconds SyncEngine::pollInterval() const
{
    return m_target.kind == SyncTarget::Kind::webDav ? m_options.webDavPollInterval
                                                     : m_options.pollInterval;
}

void SyncEngine::stopWorker()
{
    ++m_generation;
    m_saveTimer->stop();
    m_pollTimer->stop();
    m_fileTimer->stop();
    m_retryTimer->stop();
    m_probeTimer->stop();
    m_nextRetry = m_options.retryDelay;
    m_unreachable = false;
    delete m_folderWatcher;
    m_folderWatcher = nullptr;
    if (!m_thread)
        return;
    m_worker->cancel();
    m_thread->quit();
    m_thread->wait();
    // The worker went with the thread's end (deleteLater on `finished`).
    delete m_thread;
    m_thread = nullptr;
    m_worker = nullptr;
}

template <typename Call> void SyncEngine::onWorker(Call call)
{
    if (!m_worker)
        return;
    SyncEngineWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, call] { call(worker); }, Qt::QueuedConnection);
}

void SyncEngine::noteEvent(const SyncEvent &event)
{
    if (!event.endDate || !event.error)
        return;
    const int code = event.error->code;
    if (code == SyncError::networkUnavailable || code == SyncError::networkFailure ||
        code == SyncError::targetMissing || code == SyncError::targetUnmounted)
        m_unreachable = true;
}

void SyncEngine::scheduleRetry()
{
    if (!m_unreachable) {
        m_nextRetry = m_options.retryDelay;
        m_retryTimer->stop();
        return;
    }
    m_unreachable = false;
    m_retryTimer->start(m_nextRetry);
    m_nextRetry = std::min(m_nextRetry * 2, pollInterval());
}

void SyncEngine::syncNow()
{
    onWorker([](SyncEngineWorker *worker) { worker->runCycle(); });
}

void SyncEngine::requestSendAgain()
{
    onWorker([](SyncEngineWorker *worker) { worker->sendAgain(); });
}

void SyncEngine::pushPendingChanges(std::chrono::milliseconds bound)
{
    if (!m_thread || !m_saveTimer->isActive())
        return;
    m_saveTimer->stop();
    // Waited for on this thread without an event loop: nothing else may run at quit.
    struct Handshake
    {
        std::atomic<bool> asked{false};
        QSemaphore done;
    };
    const auto handshake = std::make_shared<Handshake>();
    const QMetaObject::Connection finished = connect(
        m_worker, &SyncEngineWorker::cycleFinished, m_worker,
        [handshake] {
            if (handshake->asked.exchange(false))
                handshake->done.release();
        },
        Qt::DirectConnection);
    onWorker([handshake](SyncEngineWorker *worker) {
        handshake->asked = true;
        worker->runCycle();
    });
    handshake->done.tryAcquire(1, int(bound.count()));
    disconnect(finished);
}

void SyncEngine::reconfigure()
{
    const SyncTarget target = SyncTarget::fromDefaults(m_defaults);
    if (target == m_target)
        return;
    stopWorker();
    m_target = target;
    Q_EMIT configurationChanged();
    launch();
}

void SyncEngine::requestAccountStatus()
{
    onWorker([](SyncEngineWorker *worker) { worker->requestAccountStatus(); });
}

void SyncEngine::requestZoneNames()
{
    onWorker([](SyncEngineWorker *worker) { worker->requestZoneNames(); });
}

void SyncEngine::setWebDavPassword(const QString &password, SyncCredentials::WriteDone done)
{
    if (!m_credentials || m_target.kind != SyncTarget::Kind::webDav) {
        if (done) {
            done(Unexpected(
                SyncError::make(SyncError::invalidArguments,
                                QStringLiteral("No hay un servidor WebDAV configurado."))));
        }
        return;
    }
    m_credentials->writePassword(
        m_target.credentialAccount(), password,
        [weak = QPointer<SyncEngine>(this), done](const SyncResult<void> &written) {
            if (weak && weak->m_started) {
                weak->stopWorker();
                weak->launch();
            }
            if (done)
                done(written);
        });
}

void SyncEngine::setKeyValues(const QJsonObject &values)
{
    m_keyValues = values;
    onWorker([values](SyncEngineWorker *worker) {
        worker->setLocalKeyValues(values);
        worker->runCycle();
    });
}

void SyncEngine::watchFolder()
{
    if (m_target.kind != SyncTarget::Kind::folder || !m_worker)
        return;
    if (!m_folderWatcher) {
        m_folderWatcher = new QFileSystemWatcher(this);
        connect(m_folderWatcher, &QFileSystemWatcher::directoryChanged, m_fileTimer,
                qOverload<>(&QTimer::start));
        connect(m_folderWatcher, &QFileSystemWatcher::fileChanged, m_fileTimer,
                qOverload<>(&QTimer::start));
    }
    // The remote folders may only appear with the first pass; watched as they come.
    const QDir root(m_target.folder);
    for (const QString &path : {root.path(), root.filePath(SyncTarget::remoteFolder),
                                root.filePath(SyncEngineWorker::notesFolder),
                                root.filePath(SyncEngineWorker::keyValueFile)}) {
        if (QFileInfo::exists(path) && !m_folderWatcher->files().contains(path) &&
            !m_folderWatcher->directories().contains(path))
            m_folderWatcher->addPath(path);
    }
}
