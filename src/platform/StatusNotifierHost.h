// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

// The StatusNotifier host of the session (the tray of swaybar, waybar, Plasma): a watcher,
// org.kde.StatusNotifierWatcher on the session bus, that says a host shows its items.
// Followed without blocking: a watcher that starts late, quits, is replaced, or whose host
// comes and goes is noticed when the bus says so. Without a session bus it reports no host.
class StatusNotifierHost : public QObject
{
    Q_OBJECT

public:
    explicit StatusNotifierHost(const QDBusConnection &bus = QDBusConnection::sessionBus(),
                                QObject *parent = nullptr);
    ~StatusNotifierHost() override;

    bool hasHost() const { return !m_hostOwner.isEmpty(); }

    static constexpr const char *watcherService = "org.kde.StatusNotifierWatcher";

Q_SIGNALS:
    // A host appeared, went away or another watcher took over.
    void changed();

private Q_SLOTS:
    void ask();

private:
    void follow(const QString &owner);
    void answered(QDBusPendingCallWatcher *call, quint64 question);

    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    // The watcher whose host was last confirmed; empty while there is none.
    QString m_hostOwner;
    // Only the answer to the latest question counts: earlier ones may describe a watcher
    // that has gone since.
    quint64 m_question = 0;
};
