// SPDX-License-Identifier: GPL-3.0-or-later
#include "updates/AppcastFeed.h"
#include "updates/UpdateSignature.h"
#include "updates/VersionComparator.h"

#include <gtest/gtest.h>
#include <sodium.h>

namespace {

const QUrl feedURL(QStringLiteral("https://updates.example.org/orlette/appcast.xml"));

QByteArray rss(const QByteArray &items)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/"
           "sparkle\">\n<channel><title>Orlette</title>\n" +
           items + "</channel></rss>\n";
}

QByteArray item(const QByteArray &version, const QByteArray &extra = {},
                const QByteArray &signature = "c2lnbmF0dXJl")
{
    return "<item><title>Orlette " + version + "</title><sparkle:version>" + version +
           "</sparkle:version>" + extra + "<enclosure url=\"Orlette-" + version +
           ".tar.gz\" length=\"1234\" type=\"application/octet-stream\"" +
           (signature.isEmpty() ? QByteArray() : " sparkle:edSignature=\"" + signature + "\"") +
           "/></item>\n";
}

} // namespace

TEST(VersionComparator, ComparesNumbersAsNumbers)
{
    using VersionComparator::compare;
    EXPECT_GT(compare(QStringLiteral("1.10"), QStringLiteral("1.9")), 0);
    EXPECT_LT(compare(QStringLiteral("1.9"), QStringLiteral("1.10")), 0);
    EXPECT_EQ(compare(QStringLiteral("1.0"), QStringLiteral("1")), 0);
    EXPECT_EQ(compare(QStringLiteral("1.0.0"), QStringLiteral("1.00")), 0);
    EXPECT_GT(compare(QStringLiteral("0.1.1"), QStringLiteral("0.1.0")), 0);
    EXPECT_GT(compare(QStringLiteral("2"), QStringLiteral("1.99.99")), 0);
    EXPECT_GT(compare(QStringLiteral("1.0.1"), QStringLiteral("1.0")), 0);
    EXPECT_LT(compare(QStringLiteral("1.0"), QStringLiteral("1.0.1")), 0);
    // Past the range of any integer type.
    EXPECT_GT(compare(QStringLiteral("1.100000000000000000000"),
                      QStringLiteral("1.99999999999999999999")),
              0);
    EXPECT_EQ(compare(QStringLiteral("1.0007"), QStringLiteral("1.7")), 0);
}

TEST(VersionComparator, PreReleasesComeBeforeTheRelease)
{
    using VersionComparator::compare;
    EXPECT_LT(compare(QStringLiteral("1.0b1"), QStringLiteral("1.0")), 0);
    EXPECT_GT(compare(QStringLiteral("1.0"), QStringLiteral("1.0b1")), 0);
    EXPECT_LT(compare(QStringLiteral("1.0b1"), QStringLiteral("1.0b2")), 0);
    EXPECT_LT(compare(QStringLiteral("1.0a9"), QStringLiteral("1.0b1")), 0);
    EXPECT_LT(compare(QStringLiteral("1.0-rc1"), QStringLiteral("1.0")), 0);
    EXPECT_GT(compare(QStringLiteral("1.0.1b1"), QStringLiteral("1.0")), 0);
    EXPECT_EQ(compare(QStringLiteral("1.0B2"), QStringLiteral("1.0b2")), 0);
}

TEST(AppcastFeed, ReadsItemsWithTheirFields)
{
    const QByteArray xml =
        rss("<item><title>Orlette 1.2</title>"
            "<pubDate>Tue, 04 Jun 2024 10:30:00 +0200</pubDate>"
            "<sparkle:version>1.2.0</sparkle:version>"
            "<sparkle:shortVersionString>1.2</sparkle:shortVersionString>"
            "<sparkle:minimumSystemVersion>10.15</sparkle:minimumSystemVersion>"
            "<sparkle:releaseNotesLink>notas/1.2.html</sparkle:releaseNotesLink>"
            "<description><![CDATA[<p>Cambios</p>]]></description>"
            "<enclosure url=\"https://dl.example.org/Orlette-1.2.tar.gz\" length=\"52301\" "
            "type=\"application/octet-stream\" sparkle:edSignature=\"  QUJD  \"/></item>"
            "<item><link>https://example.org/1.1</link>"
            "<enclosure url=\"Orlette-1.1.tar.gz\" sparkle:version=\"1.1\" "
            "sparkle:shortVersionString=\"1.1 (Otoño)\" sparkle:edSignature=\"eA==\"/></item>");
    QString error;
    const auto feed = AppcastFeed::parse(xml, feedURL, &error);
    ASSERT_TRUE(feed.has_value()) << error.toStdString();
    ASSERT_EQ(feed->items().size(), 2);

    const AppcastFeed::Item &first = feed->items()[0];
    EXPECT_EQ(first.title, QStringLiteral("Orlette 1.2"));
    EXPECT_EQ(first.version, QStringLiteral("1.2.0"));
    EXPECT_EQ(first.displayVersion(), QStringLiteral("1.2"));
    EXPECT_EQ(first.releaseNotesLink,
              QUrl(QStringLiteral("https://updates.example.org/orlette/notas/1.2.html")));
    EXPECT_EQ(first.publishedAt, QDateTime(QDate(2024, 6, 4), QTime(8, 30), Qt::UTC));
    EXPECT_EQ(first.downloadURL, QUrl(QStringLiteral("https://dl.example.org/Orlette-1.2.tar.gz")));
    EXPECT_EQ(first.length, 52301);
    EXPECT_EQ(first.edSignature, QStringLiteral("QUJD"));
    EXPECT_TRUE(first.isInstallable());

    const AppcastFeed::Item &second = feed->items()[1];
    EXPECT_EQ(second.version, QStringLiteral("1.1")) << "version from the enclosure";
    EXPECT_EQ(second.displayVersion(), QStringLiteral("1.1 (Otoño)"));
    EXPECT_EQ(second.releaseNotesLink, QUrl(QStringLiteral("https://example.org/1.1")));
    EXPECT_EQ(second.downloadURL,
              QUrl(QStringLiteral("https://updates.example.org/orlette/Orlette-1.1.tar.gz")));
    EXPECT_EQ(second.length, 0);
    EXPECT_FALSE(second.publishedAt.isValid());
}

TEST(AppcastFeed, RefusesWhatIsNotAFeed)
{
    for (const QByteArray &bad :
         {QByteArray(), QByteArray("no xml at all"), QByteArray("<html><body/></html>"),
          QByteArray("<rss><title>no channel</title></rss>"),
          rss(item("1.2")).replace("</channel>", ""), rss(item("1.2")) + "<rss/>",
          rss(item("1.2")).replace("<sparkle:version>", "<sparkle:version x=>"),
          // An undeclared prefix is not well formed.
          QByteArray("<rss><channel><item><sparkle:version>2</sparkle:version></item>"
                     "</channel></rss>")}) {
        QString error;
        EXPECT_EQ(AppcastFeed::parse(bad, feedURL, &error), std::nullopt) << bad.constData();
        EXPECT_FALSE(error.isEmpty()) << bad.constData();
    }
    const auto empty = AppcastFeed::parse(rss({}), feedURL);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->items().isEmpty());
    EXPECT_EQ(empty->newestApplicable(QStringLiteral("0.1.0")), std::nullopt);
}

TEST(AppcastFeed, ChoosesTheNewestInstallableRelease)
{
    const auto feed = AppcastFeed::parse(
        rss(item("1.9") + item("1.10") + item("1.2") +
            // Newer, but unusable or not for everyone.
            item("3.0", {}, {}) + item("2.5", "<sparkle:channel>beta</sparkle:channel>") +
            "<item><sparkle:version>4.0</sparkle:version></item>" +
            "<item><enclosure url=\"x.tar.gz\" sparkle:edSignature=\"QUJD\"/></item>" +
            "<item><sparkle:version>5.0</sparkle:version><enclosure url=\"file:///etc/passwd\" "
            "sparkle:edSignature=\"QUJD\"/></item>" +
            "<item><sparkle:version>6.0</sparkle:version><enclosure url=\"ftp://h/x\" "
            "sparkle:edSignature=\"QUJD\"/></item>"),
        feedURL);
    ASSERT_TRUE(feed.has_value());
    EXPECT_EQ(feed->items().size(), 9);

    const auto newest = feed->newestApplicable(QStringLiteral("0.1.0"));
    ASSERT_TRUE(newest.has_value());
    EXPECT_EQ(newest->version, QStringLiteral("1.10"));

    EXPECT_EQ(feed->newestApplicable(QStringLiteral("1.9.5"))->version, QStringLiteral("1.10"));
    EXPECT_EQ(feed->newestApplicable(QStringLiteral("1.10")), std::nullopt) << "already newest";
    EXPECT_EQ(feed->newestApplicable(QStringLiteral("2.0")), std::nullopt);
}

TEST(UpdateSignature, AcceptsOnlyTheSignatureOfTheseBytes)
{
    ASSERT_GE(sodium_init(), 0);
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(publicKey, secretKey);
    const QByteArray archive("archive contents\0with a zero", 28);
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr,
                         reinterpret_cast<const unsigned char *>(archive.constData()),
                         archive.size(), secretKey);
    const QString signature64 = QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(signature), crypto_sign_BYTES).toBase64());
    const QByteArray key64 =
        QByteArray(reinterpret_cast<const char *>(publicKey), crypto_sign_PUBLICKEYBYTES)
            .toBase64();

    const auto key = UpdateSignature::fromPublicKey(key64);
    ASSERT_TRUE(key.has_value());
    EXPECT_TRUE(key->verifies(archive, signature64));

    QByteArray tampered = archive;
    tampered[3] = 'X';
    EXPECT_FALSE(key->verifies(tampered, signature64));
    EXPECT_FALSE(key->verifies(archive + "!", signature64));
    EXPECT_FALSE(key->verifies(archive, QString()));
    EXPECT_FALSE(key->verifies(archive, QStringLiteral("not base64 at all!")));
    EXPECT_FALSE(key->verifies(archive, signature64.left(40))) << "too short";
    EXPECT_FALSE(key->verifies(archive, signature64 + QStringLiteral("QUJD"))) << "too long";

    unsigned char otherPublic[crypto_sign_PUBLICKEYBYTES];
    unsigned char otherSecret[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(otherPublic, otherSecret);
    const auto other = UpdateSignature::fromPublicKey(
        QByteArray(reinterpret_cast<const char *>(otherPublic), crypto_sign_PUBLICKEYBYTES)
            .toBase64());
    ASSERT_TRUE(other.has_value());
    EXPECT_FALSE(other->verifies(archive, signature64));

    EXPECT_EQ(UpdateSignature::fromPublicKey({}), std::nullopt);
    EXPECT_EQ(UpdateSignature::fromPublicKey("QUJD"), std::nullopt) << "three bytes";
    EXPECT_EQ(UpdateSignature::fromPublicKey(key64.left(20) + "*" + key64.mid(21)), std::nullopt);
}
