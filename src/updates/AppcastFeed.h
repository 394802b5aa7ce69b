// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// An update feed in the appcast form: an RSS channel whose items each describe one
// release, with its version, its archive (the enclosure) and the archive's Ed25519
// signature.
class AppcastFeed
{
public:
    struct Item
    {
        QString title;
        // The version the release compares by, and the one people are shown.
        QString version;
        QString shortVersionString;
        QUrl releaseNotesLink;
        QDateTime publishedAt;
        // A release on a named channel (a beta) is not offered.
        QString channel;
        QUrl downloadURL;
        qint64 length = 0;
        QString edSignature;

        // The version to show: the short version when there is one.
        QString displayVersion() const;
        // Can be offered at all: a version, an archive to download over HTTP(S) and a
        // signature to check it with.
        bool isInstallable() const;
    };

    // Reads a feed; relative links resolve against `feedURL`. Malformed XML or a document
    // that is not an RSS channel gives none and, when asked, the reason.
    static std::optional<AppcastFeed> parse(const QByteArray &xml, const QUrl &feedURL,
                                            QString *error = nullptr);

    const QList<Item> &items() const { return m_items; }

    // The newest installable release on the default channel that is newer than
    // `currentVersion`, whatever the order of the items.
    std::optional<Item> newestApplicable(const QString &currentVersion) const;

    static inline const QString sparkleNamespace =
        QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

private:
    QList<Item> m_items;
};
