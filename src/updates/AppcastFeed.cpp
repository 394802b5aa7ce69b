// SPDX-License-Identifier: GPL-3.0-or-later
#include "updates/AppcastFeed.h"

#include "updates/VersionComparator.h"

#include <QXmlStreamReader>

namespace {

bool isWebLink(const QUrl &url)
{
    return url.isValid() && (url.scheme() == u"https" || url.scheme() == u"http") &&
           !url.host().isEmpty();
}

// Links outside the web (file:, javascript:, ...) are dropped rather than followed.
QUrl webLink(const QUrl &base, const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    const QUrl url = base.resolved(QUrl(trimmed, QUrl::StrictMode));
    return isWebLink(url) ? url : QUrl();
}

QDateTime publicationDate(const QString &text)
{
    const QDateTime date = QDateTime::fromString(text.trimmed(), Qt::RFC2822Date);
    return date.isValid() ? date : QDateTime();
}

bool isSparkle(const QXmlStreamReader &xml, QStringView name)
{
    return xml.namespaceUri() == AppcastFeed::sparkleNamespace && xml.name() == name;
}

bool isPlain(const QXmlStreamReader &xml, QStringView name)
{
    return xml.namespaceUri().isEmpty() && xml.name() == name;
}

// The text of the current element; markup inside it does not spoil the feed.
QString text(QXmlStreamReader &xml)
{
    return xml.readElementText(QXmlStreamReader::IncludeChildElements);
}

void readEnclosure(QXmlStreamReader &xml, const QUrl &feedURL, AppcastFeed::Item &item)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    const QString &ns = AppcastFeed::sparkleNamespace;
    item.downloadURL = webLink(feedURL, attributes.value(QLatin1String("url")).toString());
    bool ok = false;
    const qint64 length =
        attributes.value(QLatin1String("length")).toString().trimmed().toLongLong(&ok);
    item.length = ok && length > 0 ? length : 0;
    item.edSignature = attributes.value(ns, QLatin1String("edSignature")).toString().trimmed();
    // The item's own elements win over the enclosure's attributes.
    if (item.version.isEmpty())
        item.version = attributes.value(ns, QLatin1String("version")).toString().trimmed();
    if (item.shortVersionString.isEmpty())
        item.shortVersionString =
            attributes.value(ns, QLatin1String("shortVersionString")).toString().trimmed();
    xml.skipCurrentElement();
}

AppcastFeed::Item readItem(QXmlStreamReader &xml, const QUrl &feedURL)
{
    AppcastFeed::Item item;
    QUrl plainLink;
    bool hasEnclosure = false;
    while (xml.readNextStartElement()) {
        if (isPlain(xml, u"enclosure") && !hasEnclosure) {
            hasEnclosure = true;
            readEnclosure(xml, feedURL, item);
            continue;
        }
        if (isPlain(xml, u"title"))
            item.title = text(xml).trimmed();
        else if (isPlain(xml, u"link"))
            plainLink = webLink(feedURL, text(xml));
        else if (isPlain(xml, u"pubDate"))
            item.publishedAt = publicationDate(text(xml));
        else if (isSparkle(xml, u"version"))
            item.version = text(xml).trimmed();
        else if (isSparkle(xml, u"shortVersionString"))
            item.shortVersionString = text(xml).trimmed();
        else if (isSparkle(xml, u"releaseNotesLink"))
            item.releaseNotesLink = webLink(feedURL, text(xml));
        else if (isSparkle(xml, u"channel"))
            item.channel = text(xml).trimmed();
        else // Also the minimum system version, which speaks of another system.
            xml.skipCurrentElement();
    }
    if (item.releaseNotesLink.isEmpty())
        item.releaseNotesLink = plainLink;
    return item;
}

} // namespace

QString AppcastFeed::Item::displayVersion() const
{
    return shortVersionString.isEmpty() ? version : shortVersionString;
}

bool AppcastFeed::Item::isInstallable() const
{
    return !version.isEmpty() && isWebLink(downloadURL) && !edSignature.isEmpty();
}

std::optional<AppcastFeed> AppcastFeed::parse(const QByteArray &data, const QUrl &feedURL,
                                              QString *error)
{
    const auto fail = [error](const QString &reason) -> std::optional<AppcastFeed> {
        if (error)
            *error = reason;
        return std::nullopt;
    };

    QXmlStreamReader xml(data);
    AppcastFeed feed;
    if (!xml.readNextStartElement())
        return fail(xml.hasError() ? xml.errorString() : QStringLiteral("el documento está vacío"));
    if (!isPlain(xml, u"rss"))
        return fail(QStringLiteral("no es un canal RSS"));

    bool sawChannel = false;
    while (xml.readNextStartElement()) {
        if (!isPlain(xml, u"channel") || sawChannel) {
            xml.skipCurrentElement();
            continue;
        }
        sawChannel = true;
        while (xml.readNextStartElement()) {
            if (isPlain(xml, u"item"))
                feed.m_items.append(readItem(xml, feedURL));
            else
                xml.skipCurrentElement();
        }
    }
    // Reading to the end makes the reader check the whole document is well formed.
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError())
        return fail(xml.errorString());
    if (!sawChannel)
        return fail(QStringLiteral("no tiene canal"));
    return feed;
}

std::optional<AppcastFeed::Item> AppcastFeed::newestApplicable(const QString &currentVersion) const
{
    std::optional<Item> best;
    for (const Item &item : m_items) {
        if (!item.isInstallable() || !item.channel.isEmpty())
            continue;
        if (!VersionComparator::isNewer(item.version, currentVersion))
            continue;
        if (!best || VersionComparator::isNewer(item.version, best->version))
            best = item;
    }
    return best;
}
