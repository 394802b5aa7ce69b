// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/UrlSafety.h"
#include "sync/SyncStatus.h"
#include "sync/SyncTarget.h"
#include "sync/WebDavTransport.h"

#include "FakeWebDavServer.h"
#include "TestSupport.h"

#include <QFile>
#include <QNetworkInterface>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr auto shortTimeout = std::chrono::milliseconds(5000);

// An address of this computer that is not a loopback one, as another computer on the
// network would be reached; none on a machine without a network interface.
std::optional<QHostAddress> networkAddress()
{
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address;
    }
    return std::nullopt;
}

QByteArray readTestFile(const QString &name)
{
    QFile file(QStringLiteral(ORLETTE_TEST_DATA "/tls/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(WebDavPrivacy, OnlyHttpsAndThisComputerCountAsPrivate)
{
    for (const char *address : {"https://nube.ejemplo.es/dav/", "http://127.0.0.1:8080/dav/",
                                "http://127.3.2.1/", "http://localhost/", "http://LOCALHOST:81/",
                                "http://[::1]:8080/", "http://dav.localhost/"}) {
        EXPECT_TRUE(UrlSafety::isPrivateChannel(QUrl(QString::fromLatin1(address)))) << address;
        EXPECT_FALSE(UrlSafety::travelsInClear(QUrl(QString::fromLatin1(address)))) << address;
    }
    for (const char *address :
         {"http://nube.ejemplo.es/dav/", "http://192.168.1.10/", "http://10.0.0.1:8080/",
          "http://[2001:db8::1]/", "http://localhost.ejemplo.es/", "http://128.0.0.1/"}) {
        EXPECT_FALSE(UrlSafety::isPrivateChannel(QUrl(QString::fromLatin1(address)))) << address;
        EXPECT_TRUE(UrlSafety::travelsInClear(QUrl(QString::fromLatin1(address)))) << address;
    }
    EXPECT_FALSE(UrlSafety::isPrivateChannel(QUrl(QStringLiteral("ftp://127.0.0.1/"))));
}

TEST(WebDavPrivacy, PlainHttpToAnotherComputerNeedsTheDeliberateChoice)
{
    const QString data = QStringLiteral("/nonexistent/Orlette");
    const QUrl inClear(QStringLiteral("http://nube.ejemplo.es/remote.php/dav/"));
    const auto refused = SyncTarget::onWebDav(inClear, QStringLiteral("ana")).validate(data);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, SyncError::invalidArguments);
    EXPECT_EQ(refused.error().localizedDescription, SyncTarget::inClearRefusal);
    EXPECT_TRUE(SyncTarget::onWebDav(inClear, {}, true).validate(data));
    EXPECT_TRUE(SyncTarget::onWebDav(QUrl(QStringLiteral("https://nube.ejemplo.es/dav/")), {})
                    .validate(data));
    EXPECT_TRUE(SyncTarget::onWebDav(QUrl(QStringLiteral("http://127.0.0.1:8080/dav/")), {})
                    .validate(data));

    // The choice is kept with the address that needed it, and only with that one.
    const ScopedDefaults scoped;
    SyncTarget::onWebDav(inClear, {}, true).save(scoped.defaults());
    EXPECT_TRUE(SyncTarget::fromDefaults(scoped.defaults()).webDavInClearAccepted);
    SyncTarget::onWebDav(QUrl(QStringLiteral("https://nube.ejemplo.es/dav/")), {}, true)
        .save(scoped.defaults());
    EXPECT_FALSE(scoped.defaults().contains(SyncTarget::webDavInClearKey));
}

TEST(WebDavPrivacy, ThePasswordNeverCrossesTheNetworkInClear)
{
    const std::optional<QHostAddress> address = networkAddress();
    if (!address)
        GTEST_SKIP() << "this machine has no network address besides loopback";
    FakeWebDavServer server(QStringLiteral("/dav/"), QHostAddress::AnyIPv4);
    server.user = QStringLiteral("ana");
    server.password = QStringLiteral("s3cr3t-en-claro");
    QUrl remote = server.url();
    remote.setHost(address->toString());

    WebDavTransport transport(remote, QStringLiteral("ana"), QStringLiteral("s3cr3t-en-claro"),
                              std::nullopt, shortTimeout);
    const auto account = transport.checkAccount();
    ASSERT_FALSE(account);
    EXPECT_EQ(account.error().status, SyncMirroring::AccountStatus::noAccount);
    const SyncError &error = account.error().error;
    EXPECT_EQ(error.code, SyncError::notAuthenticated);
    EXPECT_TRUE(SyncStatus::describeError(error).contains(QStringLiteral("sin cifrar")))
        << SyncStatus::describeError(error).toStdString();
    const auto listed = transport.list(QString());
    ASSERT_FALSE(listed.has_value());
    EXPECT_EQ(listed.error().code, SyncError::notAuthenticated);
    EXPECT_EQ(server.authorizedRequests, 0);

    // The same server on this computer's own loopback address gets it.
    WebDavTransport local(server.url(), QStringLiteral("ana"), QStringLiteral("s3cr3t-en-claro"),
                          std::nullopt, shortTimeout);
    EXPECT_TRUE(local.list(QString()).has_value());
    EXPECT_GT(server.authorizedRequests, 0);
}

TEST(WebDavPrivacy, RedirectsToAnotherServerAreNotFollowedWithThePassword)
{
    FakeWebDavServer elsewhere;
    elsewhere.user = QStringLiteral("ana");
    elsewhere.password = QStringLiteral("s3cr3t");
    FakeWebDavServer server;
    server.redirectTo = elsewhere.url();

    WebDavTransport transport(server.url(), QStringLiteral("ana"), QStringLiteral("s3cr3t"),
                              std::nullopt, shortTimeout);
    const auto listed = transport.list(QString());
    ASSERT_FALSE(listed.has_value());
    EXPECT_TRUE(elsewhere.requests.isEmpty()) << elsewhere.requests.join(u',').toStdString();
    const QString details = SyncStatus::describeError(listed.error());
    EXPECT_TRUE(details.contains(QStringLiteral("redirige"))) << details.toStdString();
    EXPECT_FALSE(details.contains(QStringLiteral("s3cr3t")));
}

TEST(WebDavPrivacy, AnUntrustedCertificateIsRefusedWithTheReasonAndItsFingerprint)
{
    const QSslCertificate certificate(readTestFile(QStringLiteral("self-signed.crt")));
    const QSslKey key(readTestFile(QStringLiteral("self-signed.key")), QSsl::Ec);
    ASSERT_FALSE(certificate.isNull());
    ASSERT_FALSE(key.isNull());
    QSslServer server;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(certificate);
    configuration.setPrivateKey(key);
    server.setSslConfiguration(configuration);
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QList<QTcpSocket *> accepted;
    QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, [&] {
        while (QTcpSocket *socket = server.nextPendingConnection())
            accepted << socket;
    });

    WebDavTransport transport(
        QUrl(QStringLiteral("https://127.0.0.1:%1/dav/").arg(server.serverPort())),
        QStringLiteral("ana"), QStringLiteral("s3cr3t"), std::nullopt, shortTimeout);
    const auto listed = transport.list(QString());
    ASSERT_FALSE(listed.has_value());
    EXPECT_EQ(listed.error().code, SyncError::networkFailure);
    const QString details = SyncStatus::describeError(listed.error());
    EXPECT_TRUE(details.contains(QStringLiteral("certificado del servidor no es de confianza")))
        << details.toStdString();
    const QString fingerprint =
        QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
    EXPECT_TRUE(details.contains(fingerprint)) << details.toStdString();
    EXPECT_FALSE(details.contains(QStringLiteral("s3cr3t")));
    // Nothing the server could have read was sent: the handshake never completed.
    EXPECT_TRUE(accepted.isEmpty());
}
