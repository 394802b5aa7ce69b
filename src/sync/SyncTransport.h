// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncError.h"
#include "sync/SyncMirroring.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// An entry of a remote folder. `tag` changes whenever the content may have changed
// (an ETag, or the file's identity, size and time on a folder).
struct SyncRemoteEntry
{
    QString name;
    QString tag;
    bool isFolder = false;
};

struct SyncRemoteFile
{
    QByteArray data;
    QString tag;
};

// The condition of a conditional write.
struct SyncWriteCondition
{
    enum class Kind
    {
        any,
        absent,
        tag
    };
    Kind kind = Kind::any;
    QString tag;

    static SyncWriteCondition any() { return {}; }
    static SyncWriteCondition absent() { return {Kind::absent, {}}; }
    static SyncWriteCondition matching(const QString &tag) { return {Kind::tag, tag}; }
};

// Why the target cannot be used now: the account status that tells it and the error behind.
struct SyncAccountProblem
{
    SyncMirroring::AccountStatus status = SyncMirroring::AccountStatus::couldNotDetermine;
    SyncError error;
};

// Blocking file operations on the sync target, run on the mirroring's worker thread.
// Paths are relative to the target's root, "/"-separated, and already checked by the
// caller. A missing file or folder fails with `SyncError::unknownItem`; a write whose
// condition does not hold fails with `SyncError::serverRecordChanged`; a file larger than
// `maxFileSize` is not read (nor held in memory beyond that size) and fails with
// `SyncError::limitExceeded`. Every write
// replaces the file whole: a reader sees the old or the new content, never a mix.
class SyncTransport
{
public:
    virtual ~SyncTransport() = default;

    // Far above any note typed by hand, far below what would stall the interface.
    static constexpr qint64 maxFileSize = 4 * 1024 * 1024;

    virtual SyncResult<QList<SyncRemoteEntry>> list(const QString &folder) = 0;
    virtual SyncResult<SyncRemoteFile> read(const QString &path) = 0;
    // The new tag of the file on success.
    virtual SyncResult<QString> write(const QString &path, const QByteArray &data,
                                      const SyncWriteCondition &condition) = 0;
    // An existing folder is success.
    virtual SyncResult<void> makeFolder(const QString &path) = 0;
    // A missing file is success.
    virtual SyncResult<void> remove(const QString &path) = 0;
    // Whether the target can be reached and written with the credentials held.
    virtual Expected<void, SyncAccountProblem> checkAccount() = 0;
    // Fails with the reason no new remote copy may be made on the target now, if there is
    // one; asked before the first folder of a new copy is made.
    virtual SyncResult<void> checkNewCopyAllowed() { return {}; }
    // Fails when the target cannot be trusted to refuse a write whose condition does not
    // hold: every write of the mirroring relies on that refusal.
    virtual SyncResult<void> checkConditionalWrites() { return {}; }
    // A tag of `folder` that changes whenever an entry in it is added, removed or
    // rewritten, if the target keeps one (a WebDAV collection's ETag); none when it does
    // not, or cannot be asked now. One cheap question instead of a whole listing.
    virtual std::optional<QString> folderTag(const QString &folder)
    {
        Q_UNUSED(folder);
        return std::nullopt;
    }
};
