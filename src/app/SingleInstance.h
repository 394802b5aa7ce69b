// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Relaunch.h"

#include <QObject>
#include <QStringList>

class QLocalServer;

// One running Orlette per person and data folder. The first start listens on a local
// socket; a later start hands its command-line arguments to it and exits, so the same
// store never gets a second pair of rails.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // `key` names the instance; starts with the same key share one primary.
    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;

    // The argument a relaunch carries, so the new process waits for the old one to leave.
    static inline const QString relaunchArgument = Relaunch::argument;

    // The key for the data folder in use, so separate folders can run side by side.
    // It names a socket in a folder only this user can enter (see `socketFolder`).
    static QString keyForDataDirectory(const QString &dataDirectory);
    // The runtime folder when it is private; else a private folder of this user's in the
    // temporary folder; else the data folder.
    static QString socketFolder(const QString &dataDirectory);

    // Becomes the primary instance, or, when one already runs, delivers `arguments` to it.
    // True when this process is the primary and should go on starting.
    bool claim(const QStringList &arguments, int timeoutMs = 3000);
    // For a start made by the running instance just before it quits (a relaunch): waits up
    // to `waitMs` for it to leave and becomes the primary; hands over if it never leaves.
    bool claimAfterRelaunch(const QStringList &arguments, int waitMs = 10000);
    bool isPrimary() const { return m_server != nullptr; }

Q_SIGNALS:
    // Another start handed over its arguments.
    void argumentsReceived(const QStringList &arguments);

private:
    bool listen();
    bool sendToPrimary(const QStringList &arguments, int timeoutMs);
    void readConnection();

    QString m_key;
    QLocalServer *m_server = nullptr;
};
