// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncWatcher.h"

#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/NotePredicate.h"

#include <QTimer>

QDateTime SyncWatcher::Fingerprint::distantPast()
{
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
}

SyncWatcher::SyncWatcher(ModelContainer *container, QObject *parent)
    : QObject(parent), m_container(container), m_rendered(fingerprint(container))
{
}

SyncWatcher::~SyncWatcher() = default;

void SyncWatcher::setIsEditing(bool editing)
{
    if (m_isEditing == editing)
        return;
    m_isEditing = editing;
    Q_EMIT isEditingChanged(editing);
    if (!editing && m_isPending)
        apply();
}

void SyncWatcher::setPending(bool pending)
{
    if (m_isPending == pending)
        return;
    m_isPending = pending;
    Q_EMIT isPendingChanged(pending);
}

void SyncWatcher::start(std::chrono::milliseconds interval)
{
    if (m_timer)
        return;
    // Both run `check` from the event loop of the main thread, and not at all once the
    // watcher is gone.
    if (m_container) {
        m_observer = connect(m_container, &ModelContainer::remoteChange, this, &SyncWatcher::check,
                             Qt::QueuedConnection);
    }
    m_timer = new QTimer(this);
    m_timer->setInterval(interval);
    connect(m_timer, &QTimer::timeout, this, &SyncWatcher::check);
    m_timer->start();
}

void SyncWatcher::check()
{
    if (fingerprint(m_container) == m_rendered)
        return;
    if (!m_isEditing)
        apply();
    else
        setPending(true);
}

void SyncWatcher::apply()
{
    setPending(false);
    const Fingerprint current = fingerprint(m_container);
    if (current != m_rendered) {
        m_rendered = current;
        Q_EMIT renderedChanged();
    }
    ++m_generation;
    Q_EMIT generationChanged(m_generation);
}

SyncWatcher::Fingerprint SyncWatcher::fingerprint(ModelContainer *container)
{
    Fingerprint result;
    if (!container)
        return result;
    auto opened = container->makeContext();
    if (!opened)
        return result;
    const std::unique_ptr<ModelContext> context = std::move(opened).value();
    result.count = context->fetchCount(NotePredicate::all()).value_or(0);
    const auto newest = context->fetch(
        FetchDescriptor{NotePredicate::all(), {SortDescriptor{Note::Field::updatedAt, false}}, 1});
    if (newest && !newest->isEmpty())
        result.latest = newest->first()->updatedAt();
    return result;
}
