// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncTransport.h"

#include <QUrl>

#include <chrono>
#include <memory>

class QNetworkAccessManager;

// The sync target on a WebDAV server (Nextcloud, ownCloud, Apache mod_dav): PROPFIND to
// list, GET, PUT guarded by If-Match / If-None-Match so that a file changed by another
// computer is never overwritten unseen, MKCOL and DELETE. Blocking: each request waits in
// a local event loop of the calling thread, which must be the thread that made this.
class WebDavTransport : public SyncTransport
{
public:
    static constexpr std::chrono::milliseconds defaultTimeout{30000};

    // Without a password (none stored, or the secret store failing with
    // `credentialError`) requests go out without credentials.
    WebDavTransport(const QUrl &base, const QString &user, const std::optional<QString> &password,
                    const std::optional<SyncError> &credentialError = std::nullopt,
                    std::chrono::milliseconds timeout = defaultTimeout);
    ~WebDavTransport() override;

    SyncResult<QList<SyncRemoteEntry>> list(const QString &folder) override;
    SyncResult<SyncRemoteFile> read(const QString &path) override;
    SyncResult<QString> write(const QString &path, const QByteArray &data,
                              const SyncWriteCondition &condition) override;
    SyncResult<void> makeFolder(const QString &path) override;
    SyncResult<void> remove(const QString &path) override;
    Expected<void, SyncAccountProblem> checkAccount() override;
    std::optional<QString> folderTag(const QString &folder) override;
    // Writes a probe file of its own at the root three times: absent, then again as if
    // absent, then over a tag it never had. A server that takes the last two (rclone's
    // does) ignores conditions, and is refused; the probe is deleted in every case.
    SyncResult<void> checkConditionalWrites() override;

    // The entries of a PROPFIND answer, leaving out the folder itself.
    static QList<SyncRemoteEntry> parseMultistatus(const QByteArray &xml, const QString &folderPath,
                                                   bool *ok);

private:
    struct Reply;
    // `maxBody`: an answer longer than this is cut off at once, and marked too large.
    Reply send(const QByteArray &verb, const QUrl &url, const QByteArray &body,
               const QList<QPair<QByteArray, QByteArray>> &headers, qint64 maxBody = -1);
    QUrl urlFor(const QString &path, bool folder) const;
    SyncError errorFor(const Reply &reply, const QUrl &url, const QString &what) const;
    // The tag of one file as a listing would give it.
    SyncResult<QString> tagOf(const QString &path);

    QUrl m_base;
    QString m_user;
    std::optional<QString> m_password;
    std::optional<SyncError> m_credentialError;
    std::chrono::milliseconds m_timeout;
    std::unique_ptr<QNetworkAccessManager> m_network;
};
