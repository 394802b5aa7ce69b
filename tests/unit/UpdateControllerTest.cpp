// SPDX-License-Identifier: GPL-3.0-or-later
#include "updates/UpdateController.h"
#include "model/UserDefaults.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sodium.h>

using namespace std::chrono_literals;

namespace {

// A tiny HTTP/1.1 server on the loopback interface: fixed bodies by path, 404 otherwise,
// and a count of the requests for each path.
class LocalServer : public QObject
{
public:
    LocalServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, &LocalServer::accept);
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost));
    }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    void serve(const QString &path, const QByteArray &body) { m_bodies.insert(path, body); }
    void redirect(const QString &path, const QUrl &location) { m_redirects.insert(path, location); }
    int requests(const QString &path) const { return m_requests.value(path); }
    int totalRequests() const
    {
        int total = 0;
        for (const int n : m_requests)
            total += n;
        return total;
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void answer(QTcpSocket *socket)
    {
        QByteArray &buffer = m_pending[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = buffer.left(buffer.indexOf("\r\n")).split(' ');
        m_pending.remove(socket);
        const QString path =
            requestLine.size() > 1 ? QString::fromLatin1(requestLine[1]) : QString();
        ++m_requests[path];
        if (m_redirects.contains(path)) {
            socket->write("HTTP/1.1 302 Found\r\nLocation: " + m_redirects.value(path).toEncoded() +
                          "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
            return;
        }
        const bool found = m_bodies.contains(path);
        const QByteArray body = found ? m_bodies.value(path) : QByteArray("no");
        socket->write((found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                      QByteArray("Content-Length: ") + QByteArray::number(body.size()) +
                      "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QString, QByteArray> m_bodies;
    QHash<QString, int> m_requests;
    QHash<QString, QUrl> m_redirects;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

struct KeyPair
{
    QByteArray publicKey64;
    unsigned char secret[crypto_sign_SECRETKEYBYTES];

    KeyPair()
    {
        EXPECT_GE(sodium_init(), 0);
        unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
        crypto_sign_keypair(publicKey, secret);
        publicKey64 =
            QByteArray(reinterpret_cast<const char *>(publicKey), sizeof publicKey).toBase64();
    }

    QByteArray sign(const QByteArray &data) const
    {
        unsigned char signature[crypto_sign_BYTES];
        crypto_sign_detached(signature, nullptr,
                             reinterpret_cast<const unsigned char *>(data.constData()), data.size(),
                             secret);
        return QByteArray(reinterpret_cast<const char *>(signature), sizeof signature).toBase64();
    }
};

QByteArray feedWith(const QByteArray &version, const QByteArray &archivePath,
                    const QByteArray &signature)
{
    return "<?xml version=\"1.0\"?>\n<rss version=\"2.0\" "
           "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>"
           "<item><title>Orlette 0.0.9</title><sparkle:version>0.0.9</sparkle:version>"
           "<enclosure url=\"/old.tar.gz\" sparkle:edSignature=\"" +
           signature +
           "\"/></item>"
           "<item><title>Orlette " +
           version + "</title><sparkle:version>" + version +
           "</sparkle:version><sparkle:shortVersionString>" + version +
           " Otoño</sparkle:shortVersionString><sparkle:releaseNotesLink>/notes.html"
           "</sparkle:releaseNotesLink><enclosure url=\"" +
           archivePath + "\" length=\"1\" sparkle:edSignature=\"" + signature +
           "\"/></item></channel></rss>";
}

class UpdateControllerTest : public ::testing::Test
{
protected:
    ScopedDefaults scoped;
    LocalServer server;
    KeyPair keys;
    QTemporaryDir downloads;
    QTemporaryDir packages;
    const QByteArray archive = QByteArray("Orlette 0.2 archive\n").repeated(1000);
    int activations = 0;

    UpdateController::Options options(std::chrono::milliseconds interval = 24h)
    {
        UpdateController::Options o;
        o.defaults = &scoped.defaults();
        o.currentVersion = QStringLiteral("0.1.0");
        o.publicKey = keys.publicKey64;
        o.builtInFeedURL = QString();
        o.packageDatabase = packages.path();
        o.checkInterval = interval;
        o.downloadDirectory = downloads.path();
        o.activator = [this] { ++activations; };
        return o;
    }

    void publish(const QByteArray &version, const QByteArray &signature)
    {
        server.serve(QStringLiteral("/appcast.xml"),
                     feedWith(version, "/Orlette-" + version + ".tar.gz", signature));
        server.serve(QStringLiteral("/Orlette-") + QString::fromLatin1(version) +
                         QStringLiteral(".tar.gz"),
                     archive);
    }

    void configureFeed()
    {
        scoped.defaults().setValue(UpdateController::Keys::updateFeedURL,
                                   server.url(QStringLiteral("/appcast.xml")).toString());
    }

    // Lets queued work run; used only where the point is that nothing happens.
    static void settle()
    {
        waitUntil([] { return false; }, 150);
    }
};

} // namespace

TEST_F(UpdateControllerTest, WithoutAFeedNothingHappens)
{
    publish("0.2", keys.sign(archive));
    UpdateController controller(options(20ms));
    QSignalSpy found(&controller, &UpdateController::updateFound);
    QSignalSpy notFound(&controller, &UpdateController::updateNotFound);
    QSignalSpy failed(&controller, &UpdateController::updateCheckFailed);

    EXPECT_FALSE(controller.canCheckForUpdates());
    EXPECT_TRUE(controller.automaticallyChecksForUpdates()) << "on unless turned off";
    controller.start();
    controller.checkForUpdates();
    settle();
    EXPECT_EQ(server.totalRequests(), 0);
    EXPECT_EQ(found.count() + notFound.count() + failed.count(), 0);
    EXPECT_EQ(controller.lastUpdateCheckDate(), std::nullopt);

    for (const char *unusable :
         {"", "  ", "appcast.xml", "ftp://127.0.0.1/appcast.xml", "http://"}) {
        scoped.defaults().setValue(UpdateController::Keys::updateFeedURL, unusable);
        EXPECT_FALSE(controller.canCheckForUpdates()) << unusable;
    }
    settle();
    EXPECT_EQ(server.totalRequests(), 0);
}

TEST_F(UpdateControllerTest, UserCheckFindsDownloadsAndVerifiesTheNewestRelease)
{
    publish("0.2", keys.sign(archive));
    configureFeed();
    UpdateController controller(options());
    QSignalSpy can(&controller, &UpdateController::canCheckForUpdatesChanged);
    QSignalSpy found(&controller, &UpdateController::updateFound);
    QSignalSpy lastDate(&controller, &UpdateController::lastUpdateCheckDateChanged);
    EXPECT_TRUE(controller.canCheckForUpdates());

    const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-1);
    controller.checkForUpdates();
    EXPECT_FALSE(controller.canCheckForUpdates()) << "while the check runs";
    controller.checkForUpdates(); // ignored: one check at a time
    ASSERT_TRUE(waitUntil([&] { return found.count() == 1; }));
    EXPECT_TRUE(controller.canCheckForUpdates());
    EXPECT_EQ(can.count(), 2);
    EXPECT_EQ(server.requests(QStringLiteral("/appcast.xml")), 1);
    EXPECT_EQ(server.requests(QStringLiteral("/Orlette-0.2.tar.gz")), 1);

    const auto update = found.at(0).at(0).value<AvailableUpdate>();
    EXPECT_TRUE(found.at(0).at(1).toBool()) << "user-initiated";
    EXPECT_EQ(update.version, QStringLiteral("0.2 Otoño"));
    EXPECT_EQ(update.buildVersion, QStringLiteral("0.2"));
    EXPECT_EQ(update.releaseNotesLink, server.url(QStringLiteral("/notes.html")));
    EXPECT_EQ(update.downloadURL, server.url(QStringLiteral("/Orlette-0.2.tar.gz")));
    EXPECT_EQ(update.archivePath, downloads.filePath(QStringLiteral("Orlette-0.2.tar.gz")));
    QFile kept(update.archivePath);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), archive);

    ASSERT_TRUE(controller.lastUpdateCheckDate().has_value());
    EXPECT_GE(*controller.lastUpdateCheckDate(), before);
    EXPECT_EQ(lastDate.count(), 1);
    const UserDefaults reread(scoped.path());
    EXPECT_TRUE(reread.contains(UpdateController::Keys::lastUpdateCheckDate));

    settle();
    EXPECT_EQ(activations, 0) << "the user who asked is already there";

    // A second look reuses the checked archive instead of fetching it again.
    controller.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return found.count() == 2; }));
    EXPECT_EQ(server.requests(QStringLiteral("/appcast.xml")), 2);
    EXPECT_EQ(server.requests(QStringLiteral("/Orlette-0.2.tar.gz")), 1);
}

TEST_F(UpdateControllerTest, BadOrMissingSignaturesAreRefused)
{
    KeyPair stranger;
    configureFeed();
    UpdateController controller(options());
    QSignalSpy found(&controller, &UpdateController::updateFound);
    QSignalSpy notFound(&controller, &UpdateController::updateNotFound);
    QSignalSpy failed(&controller, &UpdateController::updateCheckFailed);

    publish("0.2", stranger.sign(archive));
    controller.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 1; }));
    EXPECT_TRUE(failed.at(0).at(0).toString().contains(QStringLiteral("firma")));

    publish("0.2", keys.sign(archive + "tampered"));
    controller.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 2; }));

    publish("0.2", {});
    controller.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return notFound.count() == 1; }));

    EXPECT_EQ(found.count(), 0);
    EXPECT_TRUE(QDir(downloads.path()).isEmpty()) << "nothing unverified is kept";
    EXPECT_TRUE(controller.canCheckForUpdates());
}

TEST_F(UpdateControllerTest, UpToDateBrokenAndMissingFeeds)
{
    configureFeed();
    UpdateController controller(options());
    QSignalSpy notFound(&controller, &UpdateController::updateNotFound);
    QSignalSpy failed(&controller, &UpdateController::updateCheckFailed);

    publish("0.1.0", keys.sign(archive));
    controller.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return notFound.count() == 1; }));
    EXPECT_EQ(server.requests(QStringLiteral("/Orlette-0.1.0.tar.gz")), 0);

    server.serve(QStringLiteral("/appcast.xml"), "<rss><channel><item>");
    controller.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 1; }));

    scoped.defaults().setValue(UpdateController::Keys::updateFeedURL,
                               server.url(QStringLiteral("/missing.xml")).toString());
    controller.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 2; }));
    EXPECT_TRUE(controller.canCheckForUpdates());

    // A release whose archive is gone fails too, and leaves nothing behind.
    server.serve(QStringLiteral("/missing.xml"),
                 feedWith("0.3", "/gone.tar.gz", keys.sign(archive)));
    controller.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 3; }));
    EXPECT_TRUE(QDir(downloads.path()).isEmpty());
}

TEST_F(UpdateControllerTest, WithoutAKeyNothingIsAccepted)
{
    publish("0.2", keys.sign(archive));
    configureFeed();
    UpdateController::Options o = options();
    o.publicKey = "bm90IGEga2V5";
    UpdateController controller(o);
    QSignalSpy failed(&controller, &UpdateController::updateCheckFailed);
    QSignalSpy found(&controller, &UpdateController::updateFound);
    controller.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 1; }));
    EXPECT_EQ(found.count(), 0);
    EXPECT_EQ(server.requests(QStringLiteral("/Orlette-0.2.tar.gz")), 0);
}

TEST_F(UpdateControllerTest, ScheduledChecksRunWhileAutomaticAndBringTheAppForward)
{
    publish("0.2", keys.sign(archive));
    configureFeed();
    UpdateController controller(options(40ms));
    QSignalSpy found(&controller, &UpdateController::updateFound);
    controller.start();
    ASSERT_TRUE(waitUntil([&] { return found.count() >= 1; }));
    EXPECT_FALSE(found.at(0).at(1).toBool()) << "not user-initiated";
    EXPECT_TRUE(waitUntil([&] { return activations >= 1; }));

    // Turning automatic checks off stops them, and the choice is kept.
    QSignalSpy automatic(&controller, &UpdateController::automaticallyChecksForUpdatesChanged);
    controller.setAutomaticallyChecksForUpdates(false);
    EXPECT_EQ(automatic.count(), 1);
    EXPECT_FALSE(controller.automaticallyChecksForUpdates());
    EXPECT_FALSE(UserDefaults(scoped.path())
                     .boolValue(UpdateController::Keys::automaticallyChecksForUpdates, true));
    waitUntil([&] { return !controller.isChecking(); });
    const int requests = server.requests(QStringLiteral("/appcast.xml"));
    settle();
    EXPECT_EQ(server.requests(QStringLiteral("/appcast.xml")), requests);
    controller.setAutomaticallyChecksForUpdates(false);
    EXPECT_EQ(automatic.count(), 1) << "no change, no signal";
}

TEST_F(UpdateControllerTest, ARecentCheckPutsTheNextOneOff)
{
    publish("0.2", keys.sign(archive));
    configureFeed();
    scoped.defaults().setValue(UpdateController::Keys::lastUpdateCheckDate,
                               QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    UpdateController controller(options(1h));
    controller.start();
    settle();
    EXPECT_EQ(server.totalRequests(), 0);

    // A day-old check is due at once.
    scoped.defaults().setValue(
        UpdateController::Keys::lastUpdateCheckDate,
        QDateTime::currentDateTimeUtc().addDays(-1).toString(Qt::ISODateWithMs));
    EXPECT_TRUE(waitUntil([&] { return server.requests(QStringLiteral("/appcast.xml")) == 1; }));
}

TEST_F(UpdateControllerTest, FailingChecksDoNotSpin)
{
    server.serve(QStringLiteral("/appcast.xml"), "not a feed");
    configureFeed();
    UpdateController controller(options(1h));
    QSignalSpy failed(&controller, &UpdateController::updateCheckFailed);
    controller.start();
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 1; }));
    settle();
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(server.requests(QStringLiteral("/appcast.xml")), 1);
}

TEST_F(UpdateControllerTest, ShowingAnUpdateActivatesOnlyForScheduledChecks)
{
    UpdateController controller(options());
    controller.willHandleShowingUpdate({}, true);
    settle();
    EXPECT_EQ(activations, 0);

    controller.willHandleShowingUpdate({}, false);
    EXPECT_EQ(activations, 0) << "on the next turn of the event loop, not during the call";
    EXPECT_TRUE(waitUntil([&] { return activations == 1; }));
    EXPECT_TRUE(controller.supportsGentleScheduledUpdateReminders());

    // Gone before its turn: nothing is called.
    auto shortLived = std::make_unique<UpdateController>(options());
    shortLived->willHandleShowingUpdate({}, false);
    shortLived.reset();
    settle();
    EXPECT_EQ(activations, 1);
}

TEST_F(UpdateControllerTest, KeptArchivesGetHarmlessNamesInTheDownloadFolder)
{
    configureFeed();
    UpdateController controller(options());
    QSignalSpy found(&controller, &UpdateController::updateFound);
    const struct
    {
        QByteArray version;
        QByteArray path;
        QString fileName;
    } cases[] = {
        {"0.5", "/dl/.profile", QStringLiteral("Orlette-0.5")},
        {"0.6", "/dl/a%20b%3Bc.tar.gz", QStringLiteral("a_b_c.tar.gz")},
        {"0.7", "/dl/", QStringLiteral("Orlette-0.7")},
    };
    for (const auto &c : cases) {
        server.serve(QStringLiteral("/appcast.xml"),
                     feedWith(c.version, c.path, keys.sign(archive)));
        server.serve(QString::fromLatin1(c.path), archive);
        controller.checkForUpdates();
        ASSERT_TRUE(waitUntil([&] { return !found.isEmpty(); })) << c.path.constData();
        const auto update = found.takeFirst().at(0).value<AvailableUpdate>();
        EXPECT_EQ(update.archivePath, downloads.filePath(c.fileName));
        EXPECT_TRUE(QFile::exists(update.archivePath));
    }
}

TEST_F(UpdateControllerTest, FeedsAndArchivesComeOnlyOverHttpsOrFromThisComputer)
{
    UpdateController controller(options());
    QSignalSpy failed(&controller, &UpdateController::updateCheckFailed);
    QSignalSpy found(&controller, &UpdateController::updateFound);
    // 192.0.2.1 is a documentation address: nothing may even try to reach it.
    const QString elsewhere = QStringLiteral("http://192.0.2.1");

    // A feed in clear is refused before anything is asked of the network.
    scoped.defaults().setValue(UpdateController::Keys::updateFeedURL,
                               elsewhere + QStringLiteral("/appcast.xml"));
    controller.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 1; }, 2000));
    EXPECT_TRUE(failed.at(0).at(0).toString().contains(QStringLiteral("https://")))
        << failed.at(0).at(0).toString().toStdString();

    // A feed read from this computer whose archive lies in clear elsewhere.
    configureFeed();
    server.serve(QStringLiteral("/appcast.xml"),
                 feedWith("0.2", elsewhere.toLatin1() + "/Orlette-0.2.tar.gz", keys.sign(archive)));
    controller.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 2; }, 2000));
    EXPECT_TRUE(failed.at(1).at(0).toString().contains(QStringLiteral("https://")))
        << failed.at(1).at(0).toString().toStdString();
    EXPECT_TRUE(QDir(downloads.path()).isEmpty());

    // A feed on this computer sending the check elsewhere in clear is not followed.
    server.redirect(QStringLiteral("/appcast.xml"), QUrl(elsewhere + QStringLiteral("/feed.xml")));
    controller.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 3; }, 2000));
    EXPECT_TRUE(failed.at(2).at(0).toString().contains(QStringLiteral("192.0.2.1")))
        << failed.at(2).at(0).toString().toStdString();

    // Within this computer, redirects are followed.
    publish("0.2", keys.sign(archive));
    server.redirect(QStringLiteral("/appcast.xml"), server.url(QStringLiteral("/moved.xml")));
    server.serve(QStringLiteral("/moved.xml"),
                 feedWith("0.2", "/Orlette-0.2.tar.gz", keys.sign(archive)));
    controller.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return found.count() == 1; }));
    EXPECT_EQ(failed.count(), 3);
}

TEST_F(UpdateControllerTest, TheBuiltInFeedIsReadUnlessTheSettingsNameAnother)
{
    publish("0.2", keys.sign(archive));
    UpdateController::Options o = options();
    o.builtInFeedURL = server.url(QStringLiteral("/appcast.xml")).toString();
    UpdateController controller(o);
    EXPECT_EQ(controller.feedURL(), server.url(QStringLiteral("/appcast.xml")));
    QSignalSpy found(&controller, &UpdateController::updateFound);
    controller.checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return found.count() == 1; }));

    scoped.defaults().setValue(UpdateController::Keys::updateFeedURL,
                               server.url(QStringLiteral("/other.xml")).toString());
    EXPECT_EQ(controller.feedURL(), server.url(QStringLiteral("/other.xml")));

    // Without any key nothing could ever be verified: no check is offered.
    o.publicKey.clear();
    UpdateController keyless(o);
    EXPECT_FALSE(keyless.canCheckForUpdates());
}

TEST_F(UpdateControllerTest, AProgramInstalledByAPackageChecksNothing)
{
    publish("0.2", keys.sign(archive));
    configureFeed();
    QFile list(packages.filePath(QStringLiteral("orlette:amd64.list")));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("/.\n/usr/bin\n/usr/bin/orlette\n/usr/share/man/man1/orlette.1.gz\n");
    list.close();

    UpdateController::Options o = options(20ms);
    o.executable = QStringLiteral("/usr/bin/orlette");
    UpdateController packaged(o);
    EXPECT_EQ(packaged.installingPackage(), QStringLiteral("orlette"));
    EXPECT_FALSE(packaged.canCheckForUpdates());
    QSignalSpy failed(&packaged, &UpdateController::updateCheckFailed);
    QSignalSpy notFound(&packaged, &UpdateController::updateNotFound);
    packaged.start();
    packaged.checkForUpdates();
    settle();
    EXPECT_EQ(server.totalRequests(), 0);
    EXPECT_EQ(failed.count() + notFound.count(), 0);

    // A file of the same name elsewhere, or a path that merely starts the same, is ours.
    for (const char *path : {"/usr/bin/orlette.previous", "/opt/usr/bin/orlette"}) {
        o.executable = QString::fromLatin1(path);
        const UpdateController own(o);
        EXPECT_EQ(own.installingPackage(), std::nullopt) << path;
        EXPECT_TRUE(own.canCheckForUpdates()) << path;
    }
}
