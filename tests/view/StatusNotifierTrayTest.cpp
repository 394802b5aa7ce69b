// SPDX-License-Identifier: GPL-3.0-or-later
// Orlette's tray icon and a StatusNotifier watcher (the tray of swaybar, waybar, Plasma) that
// starts after it, on a private session bus. The label runs in a process of its own
// (orlette_tray_label): Qt looks for a watcher once per process, so only a fresh one shows
// what a user's session does. Its X server has no X tray, as under sway's XWayland.

#include "X11TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>

#include <functional>
#include <memory>

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

// The watcher of a bar: the fake of a panel that is its own host, or the real standalone
// daemon (haskell-status-notifier-item-utils), which waits for a host to register.
struct Watcher
{
    QString program;
    QStringList arguments;
    bool needsHost = false;
};

Watcher fakeWatcher()
{
    return {QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(ORLETTE_FAKE_STATUS_NOTIFIER_WATCHER)},
            false};
}

class X11StatusNotifierTray : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SKIP_UNLESS_X11();
        m_bus.setProgram(QStringLiteral("dbus-daemon"));
        m_bus.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--print-address")});
        m_bus.start();
        ASSERT_TRUE(m_bus.waitForReadyRead(10000)) << "dbus-daemon gave no address";
        m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
        m_connection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(m_address, QStringLiteral("status-notifier-test")));
        ASSERT_TRUE(m_connection->isConnected());
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_environment.remove(QStringLiteral("QT_QPA_PLATFORMTHEME"));
    }

    void TearDown() override
    {
        stop(m_watcher.get());
        stop(&m_label);
        stop(&m_bus);
        if (m_connection)
            QDBusConnection::disconnectFromBus(QStringLiteral("status-notifier-test"));
    }

    static void stop(QProcess *process)
    {
        if (!process || process->state() == QProcess::NotRunning)
            return;
        process->terminate();
        if (!process->waitForFinished(3000)) {
            process->kill();
            process->waitForFinished();
        }
    }

    static bool waitFor(const std::function<bool()> &condition, int milliseconds = 10000)
    {
        const QDeadlineTimer deadline(milliseconds);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            X11Test::settle(50);
        }
        return true;
    }

    void startLabel()
    {
        m_label.setProcessEnvironment(m_environment);
        m_label.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_label.start(QStringLiteral(ORLETTE_TRAY_LABEL), {});
        ASSERT_TRUE(m_label.waitForStarted(5000));
        ASSERT_TRUE(waitFor([&] { return m_label.readAllStandardOutput().contains("shown"); }))
            << "the label did not start";
    }

    void startWatcher(const Watcher &watcher)
    {
        m_watcher = std::make_unique<QProcess>();
        m_watcher->setProcessEnvironment(m_environment);
        m_watcher->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_watcherOutput.clear();
        QObject::connect(m_watcher.get(), &QProcess::readyReadStandardOutput, m_watcher.get(),
                         [this] { m_watcherOutput += m_watcher->readAllStandardOutput(); });
        m_watcher->start(watcher.program, watcher.arguments);
        ASSERT_TRUE(waitFor([&] {
            return m_connection->interface()->isServiceRegistered(watcherService).value() ||
                   m_watcher->state() == QProcess::NotRunning;
        }));
        ASSERT_TRUE(m_connection->interface()->isServiceRegistered(watcherService).value())
            << "the watcher did not start";
        if (watcher.needsHost)
            registerHost();
    }

    void stopWatcher()
    {
        stop(m_watcher.get());
        ASSERT_TRUE(waitFor([&] {
            return !m_connection->interface()->isServiceRegistered(watcherService).value();
        }));
    }

    // What a bar's tray does once its watcher runs: it registers as the host.
    void registerHost()
    {
        const QString host =
            QStringLiteral("org.kde.StatusNotifierHost-%1").arg(QCoreApplication::applicationPid());
        if (!m_connection->interface()->isServiceRegistered(host).value()) {
            ASSERT_TRUE(m_connection->registerService(host));
        }
        QDBusMessage call =
            QDBusMessage::createMethodCall(watcherService, watcherPath, watcherService,
                                           QStringLiteral("RegisterStatusNotifierHost"));
        call << host;
        const QDBusMessage reply = m_connection->call(call);
        ASSERT_NE(reply.type(), QDBusMessage::ErrorMessage) << reply.errorMessage().toStdString();
    }

    // The items the watcher holds for the label's process ("service" or "service/path").
    int itemsOfLabel() const
    {
        QDBusMessage get = QDBusMessage::createMethodCall(
            watcherService, watcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        get << watcherService << QStringLiteral("RegisteredStatusNotifierItems");
        const QDBusReply<QDBusVariant> reply = m_connection->call(get);
        if (!reply.isValid())
            return 0;
        int count = 0;
        for (const QString &item : reply.value().variant().toStringList()) {
            const QDBusReply<uint> pid =
                m_connection->interface()->servicePid(item.section(QLatin1Char('/'), 0, 0));
            if (pid.isValid() && qint64(pid.value()) == m_label.processId())
                ++count;
        }
        return count;
    }

    // A bar that starts after Orlette, then restarts (a reload of sway, plasmashell
    // restarted): the icon registers with each watcher, once.
    void checkIconFollowsBarRestarts(const Watcher &watcher)
    {
        startLabel();
        ASSERT_EQ(itemsOfLabel(), 0);

        startWatcher(watcher);
        EXPECT_TRUE(waitFor([&] { return itemsOfLabel() > 0; }))
            << "no item registered with a watcher that started after the label";
        EXPECT_EQ(itemsOfLabel(), 1);

        stopWatcher();
        startWatcher(watcher);
        EXPECT_TRUE(waitFor([&] { return itemsOfLabel() > 0; }))
            << "no item registered with the restarted watcher";
        X11Test::settle(300); // a second registration would come right after the first
        EXPECT_EQ(itemsOfLabel(), 1);
        EXPECT_EQ(m_label.state(), QProcess::Running);
    }

    QProcess m_bus;
    QString m_address;
    std::unique_ptr<QDBusConnection> m_connection;
    QProcessEnvironment m_environment;
    QProcess m_label;
    std::unique_ptr<QProcess> m_watcher;
    QByteArray m_watcherOutput;
};

} // namespace

TEST_F(X11StatusNotifierTray, TheIconRegistersWithABarThatStartsLaterAndAfterItRestarts)
{
    checkIconFollowsBarRestarts(fakeWatcher());
}

TEST_F(X11StatusNotifierTray, TheIconWaitsUntilTheBarsHostRegisters)
{
    // Qt settles for good whether icons go over D-Bus the first time it looks: an icon
    // made while the watcher has no host yet would never reach the bar.
    startLabel();
    Watcher watcher = fakeWatcher();
    watcher.arguments << QStringLiteral("--host-registers");
    startWatcher(watcher);
    ASSERT_TRUE(waitFor([&] { return m_watcherOutput.contains("asked"); }))
        << "the label never asked the watcher for its host";
    registerHost();
    EXPECT_TRUE(waitFor([&] { return itemsOfLabel() > 0; }))
        << "no item registered once the host came";
}

TEST_F(X11StatusNotifierTray, TheIconWaitsForTheHostOfARealWatcher)
{
    const QString daemon =
        QStandardPaths::findExecutable(QStringLiteral("status-notifier-watcher"));
    if (daemon.isEmpty())
        GTEST_SKIP() << "no status-notifier-watcher (haskell-status-notifier-item-utils)";
    checkIconFollowsBarRestarts({daemon, {}, true});
}
