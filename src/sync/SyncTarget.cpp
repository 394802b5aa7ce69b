// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncTarget.h"

#include "model/UrlSafety.h"
#include "model/UserDefaults.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The path with symbolic links resolved as far as it exists, so that two spellings of one
// folder compare equal.
QString resolvedPath(const QString &path)
{
    QString existing = QDir::cleanPath(QDir(path).absolutePath());
    QString rest;
    while (!existing.isEmpty() && !QFileInfo::exists(existing)) {
        const int slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return QDir::cleanPath(path);
        rest = existing.mid(slash) + rest;
        existing = existing.left(slash);
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    return QDir::cleanPath((canonical.isEmpty() ? existing : canonical) + rest);
}

bool isSameOrInside(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/')) ||
           folder == QStringLiteral("/");
}

} // namespace

SyncTarget SyncTarget::fromDefaults(const UserDefaults &defaults)
{
    SyncTarget target;
    const QString kind = defaults.stringValue(kindKey);
    if (kind == folderKind) {
        target.kind = Kind::folder;
        target.folder = defaults.stringValue(folderKey);
    } else if (kind == webDavKind) {
        target.kind = Kind::webDav;
        target.webDavUrl = QUrl(defaults.stringValue(webDavUrlKey));
        target.webDavUser = defaults.stringValue(webDavUserKey);
        target.webDavInClearAccepted = defaults.boolValue(webDavInClearKey);
    }
    return target;
}

SyncTarget SyncTarget::inFolder(const QString &folder)
{
    SyncTarget target;
    target.kind = Kind::folder;
    target.folder = folder;
    return target;
}

SyncTarget SyncTarget::onWebDav(const QUrl &url, const QString &user, bool inClearAccepted)
{
    SyncTarget target;
    target.kind = Kind::webDav;
    target.webDavUrl = url;
    target.webDavUser = user;
    target.webDavInClearAccepted = inClearAccepted;
    return target;
}

void SyncTarget::save(UserDefaults &defaults) const
{
    switch (kind) {
    case Kind::none:
        defaults.remove(kindKey);
        defaults.remove(folderKey);
        defaults.remove(webDavUrlKey);
        defaults.remove(webDavUserKey);
        defaults.remove(webDavInClearKey);
        break;
    case Kind::folder:
        defaults.remove(webDavUrlKey);
        defaults.remove(webDavUserKey);
        defaults.remove(webDavInClearKey);
        defaults.setValue(folderKey, folder);
        defaults.setValue(kindKey, folderKind);
        break;
    case Kind::webDav:
        defaults.remove(folderKey);
        // Credentials typed into the address stay out of the settings file.
        defaults.setValue(webDavUrlKey, webDavUrl.toString(QUrl::RemoveUserInfo));
        defaults.setValue(webDavUserKey, webDavUser);
        // Only an address that needs it keeps the choice, so a later switch to another
        // http:// server asks again.
        if (webDavInClearAccepted && travelsInClear())
            defaults.setValue(webDavInClearKey, true);
        else
            defaults.remove(webDavInClearKey);
        defaults.setValue(kindKey, webDavKind);
        break;
    }
}

bool SyncTarget::isConfigured() const
{
    switch (kind) {
    case Kind::none:
        return false;
    case Kind::folder:
        return !folder.trimmed().isEmpty();
    case Kind::webDav:
        return webDavUrl.isValid() && !webDavUrl.host().isEmpty();
    }
    return false;
}

QString SyncTarget::identity() const
{
    switch (kind) {
    case Kind::none:
        return {};
    case Kind::folder:
        return QStringLiteral("folder:") + resolvedPath(folder);
    case Kind::webDav: {
        QUrl url = webDavUrl.adjusted(QUrl::RemoveUserInfo | QUrl::NormalizePathSegments |
                                      QUrl::StripTrailingSlash);
        return QStringLiteral("webdav:") + webDavUser + QLatin1Char('@') + url.toString();
    }
    }
    return {};
}

QString SyncTarget::credentialAccount() const
{
    const QUrl url = webDavUrl.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath |
                                        QUrl::RemoveQuery | QUrl::RemoveFragment);
    return webDavUser + QLatin1Char('@') + url.toString();
}

bool SyncTarget::travelsInClear() const
{
    return kind == Kind::webDav && UrlSafety::travelsInClear(webDavUrl);
}

SyncResult<void> SyncTarget::validate(const QString &dataDirectory) const
{
    switch (kind) {
    case Kind::none:
        return Unexpected(SyncError::make(
            SyncError::badContainer, QStringLiteral("No hay ningún destino de sincronización.")));
    case Kind::folder: {
        if (folder.trimmed().isEmpty() || !QDir::isAbsolutePath(folder)) {
            return Unexpected(
                SyncError::make(SyncError::invalidArguments,
                                QStringLiteral("La carpeta de sincronización debe ser una "
                                               "ruta completa."))
                    .with(SyncErrorInfo::plain(QStringLiteral("folder"), folder)));
        }
        const QString target = resolvedPath(folder);
        const QString data = resolvedPath(dataDirectory);
        // The live store must never travel: another program copying it half-written
        // would damage it on every computer.
        if (isSameOrInside(target, data) || isSameOrInside(data, target)) {
            return Unexpected(
                SyncError::make(SyncError::invalidArguments,
                                QStringLiteral("La carpeta de sincronización no puede contener "
                                               "ni estar dentro de la carpeta de datos de "
                                               "Orlette."))
                    .with(SyncErrorInfo::plain(QStringLiteral("folder"), target))
                    .with(SyncErrorInfo::plain(QStringLiteral("dataDirectory"), data)));
        }
        return {};
    }
    case Kind::webDav: {
        const QString scheme = webDavUrl.scheme().toLower();
        if (!webDavUrl.isValid() || webDavUrl.host().isEmpty() ||
            (scheme != QStringLiteral("https") && scheme != QStringLiteral("http"))) {
            return Unexpected(
                SyncError::make(SyncError::invalidArguments,
                                QStringLiteral("La dirección WebDAV no es válida."))
                    .with(SyncErrorInfo::plain(QStringLiteral("url"),
                                               webDavUrl.toString(QUrl::RemoveUserInfo))));
        }
        if (travelsInClear() && !webDavInClearAccepted) {
            return Unexpected(
                SyncError::make(SyncError::invalidArguments, inClearRefusal)
                    .with(SyncErrorInfo::plain(QStringLiteral("url"),
                                               webDavUrl.toString(QUrl::RemoveUserInfo))));
        }
        return {};
    }
    }
    return {};
}
