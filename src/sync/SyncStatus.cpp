// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncStatus.h"

#include "model/ModelContext.h"
#include "sync/SyncLog.h"

#include <QStringList>
#include <QTimer>
#include <tuple>

namespace {

QString textForm(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.typeId() == QMetaType::QStringList)
        return QLatin1Char('(') + value.toStringList().join(QStringLiteral(", ")) +
               QLatin1Char(')');
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().toUTC().toString(Qt::ISODateWithMs);
    return value.toString();
}

} // namespace

SyncStatus::SyncStatus(SyncMirroring *mirroring, QObject *parent)
    : QObject(parent), m_mirroring(mirroring)
{
    if (!isConfigured())
        m_health = Health::unavailable();
    if (m_mirroring) {
        connect(m_mirroring, &SyncMirroring::accountStatusReady, this,
                [this](SyncMirroring::AccountStatus status, const std::optional<SyncError> &) {
                    // The error that may come with the answer changes nothing: the status
                    // it carries is applied, in a task of its own.
                    QMetaObject::invokeMethod(
                        this, [this, status] { applyAccountStatus(status); }, Qt::QueuedConnection);
                });
        connect(m_mirroring, &SyncMirroring::zoneNamesReady, this, &SyncStatus::logZoneAnswer);
        connect(m_mirroring, &SyncMirroring::configurationChanged, this, &SyncStatus::reconfigure);
        connect(m_mirroring, &SyncMirroring::remoteNotesCounted, this,
                &SyncStatus::setRemoteNoteCount);
    }
}

SyncStatus::~SyncStatus() = default;

bool SyncStatus::isConfigured() const
{
    return m_mirroring && m_mirroring->isConfigured();
}

void SyncStatus::start()
{
    m_started = true;
    if (!isConfigured())
        return;
    observe();
    refreshAccount();
}

void SyncStatus::reconfigure()
{
    if (!isConfigured()) {
        stopObserving();
        setHealth(Health::unavailable());
        setAccount(std::nullopt);
        setDetail(std::nullopt);
        return;
    }
    if (m_health.kind() == Health::Kind::unavailable)
        setHealth(Health::starting());
    if (m_started) {
        observe();
        refreshAccount();
    }
}

void SyncStatus::observe()
{
    if (m_observer || !m_mirroring)
        return;
    m_observer = connect(m_mirroring, &SyncMirroring::eventChanged, this, &SyncStatus::receive);
}

void SyncStatus::stopObserving()
{
    if (m_observer)
        disconnect(m_observer);
    m_observer = {};
}

void SyncStatus::receive(const SyncEvent &event)
{
    const std::optional<int> code =
        event.error ? std::optional<int>(event.error->code) : std::nullopt;
    const std::optional<QString> description =
        event.error ? std::optional<QString>(describeError(*event.error)) : std::nullopt;
    const SyncEvent::Type type = event.type;
    const std::optional<QDateTime> endDate = event.endDate;
    QMetaObject::invokeMethod(
        this,
        [this, type, endDate, code, description] { recordEvent(type, endDate, code, description); },
        Qt::QueuedConnection);
}

void SyncStatus::refreshAccount()
{
    if (isConfigured())
        m_mirroring->requestAccountStatus();
}

QString SyncStatus::accountText(SyncMirroring::AccountStatus status, bool *hasText)
{
    *hasText = true;
    switch (status) {
    case SyncMirroring::AccountStatus::available:
        return QStringLiteral("Conectado");
    case SyncMirroring::AccountStatus::restricted:
        return QStringLiteral("iCloud restringido en este Mac");
    case SyncMirroring::AccountStatus::noAccount:
        return QStringLiteral("Sin sesión de iCloud");
    default:
        *hasText = false;
        return {};
    }
}

void SyncStatus::applyAccountStatus(SyncMirroring::AccountStatus status)
{
    bool hasText = false;
    const QString text = accountText(status, &hasText);
    setAccount(hasText ? std::optional<QString>(text) : std::nullopt);
}

void SyncStatus::syncNow(ModelContext *context, WatcherCheck watcherCheck)
{
    if (m_isSyncing)
        return;
    setIsSyncing(true);
    if (context && context->hasChanges())
        std::ignore = context->save();
    // The button promises a transfer even when nothing was waiting to be saved.
    if (m_mirroring && m_mirroring->isConfigured())
        m_mirroring->requestPass();
    refreshAccount();
    if (watcherCheck)
        watcherCheck();
    // The watcher is held until the second check; the status only weakly.
    QTimer::singleShot(m_syncNowDuration,
                       [weak = QPointer<SyncStatus>(this), check = std::move(watcherCheck)] {
                           if (check)
                               check();
                           if (weak)
                               weak->setIsSyncing(false);
                       });
}

void SyncStatus::recordEvent(SyncEvent::Type type, const std::optional<QDateTime> &endDate,
                             const std::optional<int> &errorCode,
                             const std::optional<QString> &errorDetail)
{
    if (!endDate)
        return;
    if (!errorCode) {
        setDetail(std::nullopt);
        setRemedy(Remedy::none);
        if (type == SyncEvent::Type::importing)
            setLastImport(endDate);
        else if (type == SyncEvent::Type::exporting)
            setLastExport(endDate);
        setHealth(Health::working());
        return;
    }

    // A target gone, emptied or away is no failure of the set-up: closing the app, or
    // the reset, would cure nothing, and the message says what happened instead.
    QString message;
    Remedy remedy = Remedy::reset;
    switch (*errorCode) {
    case SyncError::userDeletedZone:
        message = remoteFolderGoneMessage;
        remedy = Remedy::sendAgain;
        break;
    case SyncError::remoteCopyEmptied:
        message = remoteCopyEmptiedMessage;
        remedy = Remedy::sendAgain;
        break;
    case SyncError::targetMissing:
        message = targetMissingMessage;
        remedy = Remedy::none;
        break;
    case SyncError::targetUnmounted:
        message = targetUnmountedMessage;
        remedy = Remedy::none;
        break;
    case SyncError::conditionalWritesIgnored:
        message = conditionalWritesMessage;
        remedy = Remedy::none;
        break;
    case SyncError::networkUnavailable:
    case SyncError::networkFailure:
        // Out of reach for now: it mends itself, and a reset would refill from nothing.
        remedy = Remedy::none;
        break;
    default:
        break;
    }
    if (message.isEmpty() && type == SyncEvent::Type::setup) {
        message = setupFailedMessage;
    } else if (message.isEmpty()) {
        switch (*errorCode) {
        case SyncError::networkUnavailable:
        case SyncError::networkFailure:
            message = offlineMessage;
            break;
        case SyncError::quotaExceeded:
            message = quotaMessage;
            break;
        case SyncError::notAuthenticated:
            message = signedOutMessage;
            break;
        default:
            message = genericFailureMessage;
            break;
        }
    }
    setHealth(Health::broken(message));
    setRemedy(remedy);
    setDetail(errorDetail);
    if (errorDetail)
        SyncLog::error(QStringLiteral("iCloud falló al sincronizar:\n") + *errorDetail);
    logZones();
}

QString SyncStatus::describeError(const SyncError &error)
{
    QStringList lines;
    // One pass of arg(), so a description holding "%1" stays as it is.
    lines << QStringLiteral("%1 %2: %3")
                 .arg(error.domain, QString::number(error.code), error.localizedDescription);
    for (const SyncErrorInfo &info : error.userInfo) {
        switch (info.kind) {
        case SyncErrorInfo::Kind::error: {
            QString nested = info.error ? describeError(*info.error) : QString();
            nested.replace(QLatin1Char('\n'), QStringLiteral("\n  "));
            lines << QStringLiteral("  ") + info.key + QStringLiteral(" → ") + nested;
            break;
        }
        case SyncErrorInfo::Kind::dictionary:
            for (const SyncErrorItem &item : info.dictionary) {
                const SyncError *inner = item.error.get();
                lines << QStringLiteral("  %1[%2] → %3 %4 %5")
                             .arg(info.key, item.key, inner ? inner->domain : QStringLiteral("?"),
                                  QString::number(inner ? inner->code : 0),
                                  inner ? inner->localizedDescription : textForm(item.value));
            }
            break;
        case SyncErrorInfo::Kind::value:
            lines << QStringLiteral("  ") + info.key + QStringLiteral(" = ") + textForm(info.value);
            break;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

void SyncStatus::logZones()
{
    if (isConfigured())
        m_mirroring->requestZoneNames();
}

void SyncStatus::logZoneAnswer(const QStringList &names, const std::optional<SyncError> &error)
{
    if (error) {
        SyncLog::error(QStringLiteral("zonas: ") + describeError(*error));
        return;
    }
    SyncLog::error(QStringLiteral("zonas: ") + (names.isEmpty()
                                                    ? QStringLiteral("ninguna")
                                                    : names.join(QStringLiteral(", "))));
}

QString SyncStatus::label(const Health &health)
{
    switch (health.kind()) {
    case Health::Kind::working:
        return QStringLiteral("Al día");
    case Health::Kind::starting:
        return QStringLiteral("Conectando…");
    case Health::Kind::unavailable:
        return QStringLiteral("No disponible");
    case Health::Kind::broken:
        return QStringLiteral("Detenida");
    }
    return {};
}

void SyncStatus::setHealth(const Health &health)
{
    if (m_health == health)
        return;
    m_health = health;
    Q_EMIT healthChanged();
}

void SyncStatus::setLastImport(const std::optional<QDateTime> &date)
{
    if (m_lastImport == date)
        return;
    m_lastImport = date;
    Q_EMIT lastImportChanged();
}

void SyncStatus::setLastExport(const std::optional<QDateTime> &date)
{
    if (m_lastExport == date)
        return;
    m_lastExport = date;
    Q_EMIT lastExportChanged();
}

void SyncStatus::setAccount(const std::optional<QString> &account)
{
    if (m_account == account)
        return;
    m_account = account;
    Q_EMIT accountChanged();
}

void SyncStatus::setDetail(const std::optional<QString> &detail)
{
    if (m_detail == detail)
        return;
    m_detail = detail;
    Q_EMIT detailChanged();
}

void SyncStatus::sendAgain()
{
    if (isConfigured())
        m_mirroring->requestSendAgain();
}

void SyncStatus::setRemedy(Remedy remedy)
{
    if (m_remedy == remedy)
        return;
    m_remedy = remedy;
    Q_EMIT remedyChanged();
}

void SyncStatus::setRemoteNoteCount(int count)
{
    const std::optional<int> value = count >= 0 ? std::optional<int>(count) : std::nullopt;
    if (m_remoteNoteCount == value)
        return;
    m_remoteNoteCount = value;
    Q_EMIT remoteNoteCountChanged();
}

void SyncStatus::setIsSyncing(bool syncing)
{
    if (m_isSyncing == syncing)
        return;
    m_isSyncing = syncing;
    Q_EMIT isSyncingChanged();
}
