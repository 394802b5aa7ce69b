// SPDX-License-Identifier: GPL-3.0-or-later
#include "updates/PendingUpdate.h"

#include "model/UserDefaults.h"
#include "updates/UpdateCheck.h"
#include "updates/UpdateInstaller.h"
#include "updates/VersionComparator.h"

#include <QFile>
#include <QFileInfo>

PendingUpdate::PendingUpdate(UserDefaults &defaults) : m_defaults(defaults) {}

bool PendingUpdate::remember(const AvailableUpdate &update, const QString &targetExecutable)
{
    if (!UpdateInstaller::canReplace(targetExecutable))
        return false;
    if (const std::optional<Entry> waiting = pending()) {
        if (QFileInfo::exists(waiting->archive) &&
            VersionComparator::isNewer(waiting->version, update.buildVersion))
            return true;
        // The archive it replaces would never be used again.
        if (waiting->archive != update.archivePath)
            QFile::remove(waiting->archive);
    }
    m_defaults.setValue(Keys::pendingUpdateArchive, update.archivePath);
    m_defaults.setValue(Keys::pendingUpdateVersion, update.buildVersion);
    return true;
}

std::optional<PendingUpdate::Entry> PendingUpdate::pending() const
{
    Entry entry{m_defaults.stringValue(Keys::pendingUpdateArchive),
                m_defaults.stringValue(Keys::pendingUpdateVersion)};
    if (entry.archive.isEmpty() || entry.version.isEmpty())
        return std::nullopt;
    return entry;
}

bool PendingUpdate::installOnQuit(const UpdateInstaller &installer, const QString &currentVersion,
                                  const QString &targetExecutable)
{
    const std::optional<Entry> waiting = pending();
    if (!waiting)
        return false;
    // Cleared before trying, so a release that cannot be installed is not tried at every
    // quit, not even after one that was cut short.
    clear();
    if (!QFileInfo::exists(waiting->archive))
        return false;
    if (!VersionComparator::isNewer(waiting->version, currentVersion)) {
        // This version or a later one is already running.
        QFile::remove(waiting->archive);
        return false;
    }
    const UpdateInstaller::Result result =
        installer.install(waiting->archive, waiting->version, targetExecutable);
    if (!result) {
        m_defaults.setValue(Keys::updateInstallError, result.error);
        return false;
    }
    QFile::remove(waiting->archive);
    return true;
}

QString PendingUpdate::takeInstallError()
{
    const QString error = m_defaults.stringValue(Keys::updateInstallError);
    if (m_defaults.contains(Keys::updateInstallError))
        m_defaults.remove(Keys::updateInstallError);
    return error;
}

void PendingUpdate::clear()
{
    m_defaults.remove(Keys::pendingUpdateArchive);
    m_defaults.remove(Keys::pendingUpdateVersion);
}
