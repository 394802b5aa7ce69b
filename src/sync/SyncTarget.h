// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncError.h"

#include <QString>
#include <QUrl>

#include <optional>

class UserDefaults;

// Where the notes are mirrored, as the settings file names it: a folder that some other
// program keeps in step between computers (Syncthing, a Nextcloud or Dropbox folder, a
// mounted drive) or a WebDAV server. The WebDAV password is never here: it lives in the
// desktop's secret store.
struct SyncTarget
{
    enum class Kind
    {
        none,
        folder,
        webDav
    };

    // Settings keys.
    static inline const QString kindKey = QStringLiteral("syncTargetKind");
    static inline const QString folderKey = QStringLiteral("syncFolder");
    static inline const QString webDavUrlKey = QStringLiteral("syncWebDavURL");
    static inline const QString webDavUserKey = QStringLiteral("syncWebDavUser");
    // The person chose a plain http:// server on another computer knowing that the notes
    // cross the network in clear (no password is ever sent there).
    static inline const QString webDavInClearKey = QStringLiteral("syncWebDavInClear");
    // Values of `kindKey`.
    static inline const QString folderKind = QStringLiteral("folder");
    static inline const QString webDavKind = QStringLiteral("webdav");
    // The one folder the notes live in on the target.
    static inline const QString remoteFolder = QStringLiteral("Orlette");

    // Why a plain http:// address to another computer is refused.
    static inline const QString inClearRefusal = QStringLiteral(
        "Esta dirección no está cifrada (http://): cualquiera en la red podría leer tus notas. "
        "Usa https:// o, si es a propósito, marca «Sin cifrar, a propósito».");

    Kind kind = Kind::none;
    QString folder;
    QUrl webDavUrl;
    QString webDavUser;
    bool webDavInClearAccepted = false;

    static SyncTarget fromDefaults(const UserDefaults &defaults);
    static SyncTarget inFolder(const QString &folder);
    static SyncTarget onWebDav(const QUrl &url, const QString &user, bool inClearAccepted = false);
    // Writes this target to the settings (removing what the other kind used).
    void save(UserDefaults &defaults) const;

    // A kind and its location are set; says nothing about whether they work.
    bool isConfigured() const;
    // Names the target for pairing: a different identity is a different remote copy.
    // Never holds a password.
    QString identity() const;
    // Fails with why this target cannot be used, if it cannot: a folder that holds the live store
    // (or lies inside its folder), a relative folder, a URL that is not http(s), plain
    // http:// to another computer unless the person accepted it.
    SyncResult<void> validate(const QString &dataDirectory) const;
    // The account name the password is kept under in the secret store.
    QString credentialAccount() const;
    // A WebDAV address whose traffic anyone on the network can read.
    bool travelsInClear() const;

    friend bool operator==(const SyncTarget &, const SyncTarget &) = default;
};
