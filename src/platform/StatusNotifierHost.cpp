// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/StatusNotifierHost.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {

QString watcherName()
{
    return QString::fromLatin1(StatusNotifierHost::watcherService);
}
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

} // namespace

StatusNotifierHost::StatusNotifierHost(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus),
      m_watcher(watcherName(), m_bus, QDBusServiceWatcher::WatchForOwnerChange)
{
    if (!m_bus.isConnected())
        return;
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &owner) { follow(owner); });
    // A bar may start its watcher before its own host registers with it.
    for (const char *signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        m_bus.connect(watcherName(), watcherPath, watcherName(), QString::fromLatin1(signal), this,
                      SLOT(ask()));
    // Asked after watching, so a watcher that starts in between is not missed.
    ask();
}

StatusNotifierHost::~StatusNotifierHost() = default;

void StatusNotifierHost::follow(const QString &owner)
{
    if (!owner.isEmpty()) {
        ask();
        return;
    }
    ++m_question;
    if (m_hostOwner.isEmpty())
        return;
    m_hostOwner.clear();
    Q_EMIT changed();
}

void StatusNotifierHost::ask()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        watcherName(), watcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << watcherName() << QStringLiteral("IsStatusNotifierHostRegistered");
    const quint64 question = ++m_question;
    // Owned by this object, so an answer that comes after it is gone is dropped.
    auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(get), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, question](QDBusPendingCallWatcher *finished) { answered(finished, question); });
}

void StatusNotifierHost::answered(QDBusPendingCallWatcher *call, quint64 question)
{
    call->deleteLater();
    if (question != m_question)
        return;
    const QDBusPendingReply<QDBusVariant> reply = *call;
    // The answer comes from the watcher's unique name: a new one means a new watcher, with
    // which an icon has to register again, even if the old one also had a host.
    const QString owner =
        reply.isValid() && reply.value().variant().toBool() ? reply.reply().service() : QString();
    if (owner == m_hostOwner)
        return;
    m_hostOwner = owner;
    Q_EMIT changed();
}
