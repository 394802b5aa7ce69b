// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncEngineWorker.h"

#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "sync/SyncExporter.h"
#include "sync/SyncImporter.h"
#include "sync/SyncLocalScan.h"
#include "sync/SyncRemoteSetUp.h"

#include <QSysInfo>
#include <QUuid>

#include <tuple>

namespace {

const QString deviceIdKey = QStringLiteral("deviceId");

} // namespace

// Reports an event when it begins and when it ends. A pass given up (the engine is
// stopping) leaves its event unfinished, which changes nothing for its observers.
class SyncEngineWorker::EventScope
{
public:
    EventScope(SyncEngineWorker *worker, SyncEvent::Type type) : m_worker(worker)
    {
        m_event.identifier = QUuid::createUuid();
        m_event.type = type;
        m_event.startDate = QDateTime::fromMSecsSinceEpoch(worker->now(), Qt::UTC);
        Q_EMIT m_worker->eventChanged(m_event);
    }
    ~EventScope()
    {
        if (!m_finished && !m_worker->isCancelled())
            finish(Unexpected(SyncError::make(
                SyncError::internalError, QStringLiteral("La sincronización se interrumpió."))));
    }
    EventScope(const EventScope &) = delete;
    EventScope &operator=(const EventScope &) = delete;

    void finish(const SyncResult<void> &result)
    {
        if (m_finished)
            return;
        m_finished = true;
        if (m_worker->isCancelled())
            return;
        m_event.endDate = QDateTime::fromMSecsSinceEpoch(m_worker->now(), Qt::UTC);
        m_event.error = result ? std::nullopt : std::optional<SyncError>(result.error());
        Q_EMIT m_worker->eventChanged(m_event);
    }

private:
    SyncEngineWorker *m_worker;
    SyncEvent m_event;
    bool m_finished = false;
};

SyncEngineWorker::SyncEngineWorker(ModelContainer *container, const SyncTarget &target,
                                   TransportFactory transportFactory, Options options,
                                   QObject *parent)
    : QObject(parent), m_container(container), m_target(target),
      m_transportFactory(std::move(transportFactory)), m_options(std::move(options))
{
    if (m_options.deviceName.isEmpty())
        m_options.deviceName = QSysInfo::machineHostName();
    // The imports' saves reach the main context through a queued `contextDidSave`, whose
    // arguments must be known to the meta-type system.
    qRegisterMetaType<ModelContext *>();
    qRegisterMetaType<SavedChanges>();
}

SyncEngineWorker::~SyncEngineWorker() = default;

qint64 SyncEngineWorker::now() const
{
    return m_options.clock ? m_options.clock() : QDateTime::currentMSecsSinceEpoch();
}

void SyncEngineWorker::cancel()
{
    // The transport belongs to the worker thread; stopping that thread's event loop
    // ends any transfer it waits for.
    m_cancelled = true;
}

QString SyncEngineWorker::deviceId()
{
    if (m_deviceId.isEmpty()) {
        m_deviceId = m_state.meta(deviceIdKey);
        if (m_deviceId.isEmpty()) {
            m_deviceId = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
            // Kept for this run even if it cannot be stored: the next run picks another.
            std::ignore = m_state.setMeta(deviceIdKey, m_deviceId);
        }
    }
    return m_deviceId;
}

SyncResult<void> SyncEngineWorker::prepare()
{
    if (!m_container) {
        return Unexpected(SyncError::make(
            SyncError::badDatabase, QStringLiteral("No hay almacén de notas que sincronizar.")));
    }
    if (!m_state.isOpen()) {
        if (auto opened = m_state.open(m_container->databaseUri()); !opened)
            return Unexpected(SyncPassErrors::database(opened.error()));
    }
    if (auto valid = m_target.validate(m_options.dataDirectory); !valid)
        return valid;
    if (!m_transport)
        m_transport = m_transportFactory();
    return {};
}

void SyncEngineWorker::runCycle()
{
    // Nested event loops of a transfer can deliver another request: it runs after.
    if (m_running) {
        m_again = true;
        return;
    }
    m_running = true;
    m_conflictRounds = 0;
    do {
        m_again = false;
        cycleOnce();
    } while (m_again && !isCancelled());
    m_running = false;
    Q_EMIT cycleFinished();
}

void SyncEngineWorker::sendAgain()
{
    m_sendAgain = true;
    runCycle();
}

// Every write of a pass is conditional; a target that ignores the condition would let
// two computers overwrite each other's changes without a conflict copy. Asked before the
// first pass of this run and then now and then, since a server can be replaced.
bool SyncEngineWorker::checkConditionalWrites()
{
    const qint64 moment = now();
    if (m_conditionalWritesChecked &&
        moment - *m_conditionalWritesChecked < m_options.conditionalWriteCheckInterval)
        return true;
    const SyncResult<void> honoured = m_transport->checkConditionalWrites();
    if (honoured) {
        m_conditionalWritesChecked = moment;
        return true;
    }
    if (isCancelled())
        return false;
    EventScope importing(this, SyncEvent::Type::importing);
    importing.finish(honoured);
    return false;
}

void SyncEngineWorker::judgeFolderTags(const QByteArray &listing)
{
    if (!m_folderTags.isEmpty() && m_folderTags == m_previousFolderTags && !m_listing.isEmpty() &&
        listing != m_listing)
        m_folderTagsUntrusted = true;
    m_previousFolderTags = m_folderTags;
    m_listing = listing;
}

SyncResult<void> SyncEngineWorker::forgetRemoteIfAsked()
{
    if (!m_sendAgain)
        return {};
    if (auto forgotten = m_state.forgetRemote(); !forgotten)
        return Unexpected(SyncPassErrors::database(forgotten.error()));
    m_sendAgain = false;
    m_isSetUp = false;
    return {};
}

SyncPassEnvironment SyncEngineWorker::environment()
{
    return SyncPassEnvironment{*m_transport, m_state, [this] { return now(); },
                               [this] { return isCancelled(); }};
}

void SyncEngineWorker::cycleOnce()
{
    if (const auto prepared = prepare(); !prepared) {
        EventScope setup(this, SyncEvent::Type::setup);
        setup.finish(prepared);
        return;
    }
    if (!reachTarget()) {
        if (!isCancelled())
            Q_EMIT remoteNotesCounted(-1);
        finishKeyValues(false);
        return;
    }
    // Forgotten only once the target answers: a drive still away keeps the request.
    if (const auto forgotten = forgetRemoteIfAsked(); !forgotten) {
        EventScope setup(this, SyncEvent::Type::setup);
        setup.finish(forgotten);
        return;
    }
    if (!checkConditionalWrites()) {
        finishKeyValues(false);
        return;
    }
    if (!m_isSetUp) {
        EventScope setup(this, SyncEvent::Type::setup);
        const auto setUp = SyncRemoteSetUp(environment(), m_target.identity()).run();
        setup.finish(setUp);
        if (!setUp) {
            if (setUp.error().code == SyncError::userDeletedZone && !isCancelled())
                Q_EMIT remoteNotesCounted(0);
            finishKeyValues(false);
            return;
        }
        m_isSetUp = true;
    }
    if (!importStep() || isCancelled()) {
        finishKeyValues(false);
        return;
    }
    exportStep();
}

// An absent drive, a server out of reach or refused credentials are not a failed
// set-up: they pass, and the pass that finds them says so as a failed import.
bool SyncEngineWorker::reachTarget()
{
    const auto account = m_transport->checkAccount();
    if (!isCancelled())
        emitAccountStatus(account);
    if (account)
        return true;
    EventScope importing(this, SyncEvent::Type::importing);
    importing.finish(Unexpected(account.error().error));
    return false;
}

SyncResult<void> SyncEngineWorker::importStep()
{
    EventScope importing(this, SyncEvent::Type::importing);
    // Taken before the listing: whatever changes from now on shows at the next check.
    m_folderTags = currentFolderTags();
    SyncResult<void> imported = SyncLocalScan(environment()).run();
    if (imported) {
        SyncImporter importer(environment(), m_container);
        imported = importer.run();
        m_refused = importer.refused();
        if (imported)
            judgeFolderTags(importer.listingDigest());
        if (importer.metALocalEdit())
            askForAnotherPass();
    }
    if (imported)
        imported = m_keyValues.read(*m_transport);
    importing.finish(imported);
    if (!isCancelled()) {
        if (imported)
            Q_EMIT remoteNotesCounted(m_state.mirroredNoteCount());
        else if (imported.error().code == SyncError::userDeletedZone ||
                 imported.error().code == SyncError::remoteCopyEmptied)
            Q_EMIT remoteNotesCounted(0);
    }
    return imported;
}

void SyncEngineWorker::exportStep()
{
    SyncExporter exporter(environment(), m_keyValues, deviceId(), m_options.deviceName);
    const auto due = exporter.due();
    if (!due) {
        EventScope exporting(this, SyncEvent::Type::exporting);
        exporting.finish(Unexpected(due.error()));
        finishKeyValues(false);
        return;
    }
    if (due->isEmpty() && !exporter.keyValuesDue() && m_refused.isEmpty()) {
        finishKeyValues(true);
        return;
    }
    EventScope exporting(this, SyncEvent::Type::exporting);
    const SyncExporter::Outcome outcome = exporter.send(*due, m_refused);
    if (isCancelled()) {
        finishKeyValues(false);
        return;
    }
    if (outcome.lostRace)
        askForAnotherPass();
    exporting.finish(outcome.result);
    if (!isCancelled())
        Q_EMIT remoteNotesCounted(m_state.mirroredNoteCount());
    finishKeyValues(outcome.result.has_value());
}

void SyncEngineWorker::askForAnotherPass()
{
    if (m_conflictRounds < m_options.conflictRetries) {
        ++m_conflictRounds;
        m_again = true;
    }
}

void SyncEngineWorker::checkForChanges()
{
    if (m_running || !m_transport || isCancelled())
        return;
    if (m_folderTagsUntrusted) {
        // One listing of the notes instead: its tags are the files' own.
        const auto listing = m_transport->list(notesFolder);
        if (listing && SyncImporter::digestOf(*listing) != m_listing)
            runCycle();
        return;
    }
    const QStringList tags = currentFolderTags();
    if (!tags.isEmpty() && tags != m_folderTags)
        runCycle();
}

QStringList SyncEngineWorker::currentFolderTags()
{
    QStringList tags;
    for (const QString &folder : {SyncTarget::remoteFolder, notesFolder}) {
        const std::optional<QString> tag = m_transport->folderTag(folder);
        if (!tag)
            return {};
        tags << *tag;
    }
    return tags;
}

void SyncEngineWorker::setLocalKeyValues(const QJsonObject &values)
{
    m_keyValues.setLocal(values);
}

void SyncEngineWorker::finishKeyValues(bool ok)
{
    if (isCancelled())
        return;
    Q_EMIT keyValuesSynced(m_keyValues.merged(), ok && m_keyValues.isRead());
}

void SyncEngineWorker::requestAccountStatus()
{
    if (const auto prepared = prepare(); !prepared) {
        Q_EMIT accountStatusReady(SyncMirroring::AccountStatus::couldNotDetermine,
                                  prepared.error());
        return;
    }
    emitAccountStatus(m_transport->checkAccount());
}

void SyncEngineWorker::emitAccountStatus(const Expected<void, SyncAccountProblem> &account)
{
    if (account)
        Q_EMIT accountStatusReady(SyncMirroring::AccountStatus::available, std::nullopt);
    else
        Q_EMIT accountStatusReady(account.error().status, account.error().error);
}

void SyncEngineWorker::requestZoneNames()
{
    if (const auto prepared = prepare(); !prepared) {
        Q_EMIT zoneNamesReady({}, prepared.error());
        return;
    }
    const auto listing = m_transport->list(SyncTarget::remoteFolder);
    if (!listing) {
        if (listing.error().code == SyncError::unknownItem)
            Q_EMIT zoneNamesReady({}, std::nullopt);
        else
            Q_EMIT zoneNamesReady({}, listing.error());
        return;
    }
    QStringList names{SyncTarget::remoteFolder};
    for (const SyncRemoteEntry &entry : *listing) {
        if (entry.isFolder)
            names << SyncTarget::remoteFolder + QLatin1Char('/') + entry.name;
    }
    Q_EMIT zoneNamesReady(names, std::nullopt);
}
