// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

class UpdateInstaller;
class UserDefaults;
struct AvailableUpdate;

// The checked release waiting in the settings to be installed when the application quits,
// and what went wrong the last time one was tried, for the next launch to tell.
class PendingUpdate
{
public:
    struct Keys
    {
        static inline const QString pendingUpdateArchive = QStringLiteral("pendingUpdateArchive");
        static inline const QString pendingUpdateVersion = QStringLiteral("pendingUpdateVersion");
        static inline const QString updateInstallError = QStringLiteral("updateInstallError");
    };

    struct Entry
    {
        QString archive;
        QString version;
    };

    explicit PendingUpdate(UserDefaults &defaults);

    // Keeps `update` for installing over `targetExecutable` at quit, in place of a waiting
    // release that is not newer. False when this user cannot replace that program (a
    // package manager put it there), and nothing is kept.
    bool remember(const AvailableUpdate &update, const QString &targetExecutable);
    std::optional<Entry> pending() const;

    // At quit: installs the waiting release when its archive is still there and it is newer
    // than `currentVersion`. Either way it is not tried again; a failure is kept for the
    // next launch. True when a new program is in place.
    bool installOnQuit(const UpdateInstaller &installer, const QString &currentVersion,
                       const QString &targetExecutable);

    // Why the last install failed, once; empty when nothing did.
    QString takeInstallError();

private:
    void clear();

    UserDefaults &m_defaults;
};
