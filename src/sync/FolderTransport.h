// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/MountPoints.h"
#include "sync/SyncTransport.h"

// The sync target as a plain folder that another program (Syncthing, a Nextcloud or
// Dropbox client, a network mount) keeps in step between computers. Writes go to a
// hidden temporary file in the same folder, are flushed to disk and then renamed over
// the old file, so another reader or a crash never sees half a file.
class FolderTransport : public SyncTransport
{
public:
    explicit FolderTransport(const QString &root, MountPoints mountPoints = MountPoints());

    const QString &root() const { return m_root; }

    SyncResult<QList<SyncRemoteEntry>> list(const QString &folder) override;
    SyncResult<SyncRemoteFile> read(const QString &path) override;
    SyncResult<QString> write(const QString &path, const QByteArray &data,
                              const SyncWriteCondition &condition) override;
    SyncResult<void> makeFolder(const QString &path) override;
    SyncResult<void> remove(const QString &path) override;
    Expected<void, SyncAccountProblem> checkAccount() override;
    // An empty folder where a drive should be mounted is refused: the copy would go to
    // the computer's own disk and vanish under the drive when it comes back.
    SyncResult<void> checkNewCopyAllowed() override;

    // Prefix of the temporary files of writes in progress (hidden, so that listings and
    // other programs skip them).
    static inline const QString temporaryPrefix = QStringLiteral(".orlette-");

private:
    QString absolute(const QString &path) const;

    QString m_root;
    MountPoints m_mountPoints;
};
